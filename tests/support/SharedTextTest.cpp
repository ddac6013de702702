#include "support/SharedText.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using ZEV::CSharedText;

TEST(SharedTextTest, CopiesShareOneBufferAndReleaseIt)
{
    CSharedText a("row 1");
    {
        CSharedText b(a);
        CSharedText c;
        c = b;
        EXPECT_EQ(b.GetText(), a.GetText());
        EXPECT_EQ(c.GetText(), a.GetText());
        EXPECT_EQ(a.GetRefCount(), 3);
        c = c;
        EXPECT_EQ(a.GetRefCount(), 3);
    }
    EXPECT_EQ(a.GetRefCount(), 1);
    EXPECT_STREQ(a.GetText(), "row 1");
    EXPECT_EQ(a.GetLength(), 5u);
}

TEST(SharedTextTest, AdoptedBufferIsKeptWithoutCopy)
{
    char* p = CSharedText::Duplicate("ログ行");
    CSharedText t = CSharedText::Adopt(p);
    EXPECT_EQ(t.GetText(), p);
    EXPECT_EQ(t.GetLength(), 6u);

    CSharedText moved(std::move(t));
    EXPECT_EQ(moved.GetText(), p);
    EXPECT_TRUE(t.IsNull());
    EXPECT_STREQ(t.GetText(), "");
}

TEST(SharedTextTest, ComparesByContent)
{
    EXPECT_EQ(CSharedText("abc"), CSharedText("abcdef", 3));
    EXPECT_NE(CSharedText("abc"), CSharedText("abd"));
    EXPECT_EQ(CSharedText(nullptr), CSharedText(""));
}

TEST(SharedTextTest, CopiesOnManyThreadsKeepTheCountExact)
{
    CSharedText shared("shared between threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 20000; ++i) {
                CSharedText copy(shared);
                CSharedText other;
                other = copy;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(shared.GetRefCount(), 1);
    EXPECT_STREQ(shared.GetText(), "shared between threads");
}
