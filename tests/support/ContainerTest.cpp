#include "support/ByteBuffer.h"
#include "support/RingQueueT.h"
#include "support/SharedText.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ZEV;

namespace {

std::vector<int> Contents(const CRingQueueT<int>& q)
{
    std::vector<int> v;
    for (int i = 0; i < q.GetCount(); ++i)
        v.push_back(q[i]);
    return v;
}

} // namespace

TEST(RingQueueTest, FullQueueRefusesAndShortPopFailsWithoutChange)
{
    CRingQueueT<int> q(3);
    EXPECT_EQ(q.Add(10), 0);
    EXPECT_EQ(q.Add(11), 1);
    EXPECT_EQ(q.Add(12), 2);
    EXPECT_EQ(q.Add(13), -1);
    EXPECT_FALSE(q.Pop(4));
    EXPECT_EQ(Contents(q), (std::vector<int>{10, 11, 12}));
    EXPECT_TRUE(q.Pop(3));
    EXPECT_TRUE(q.IsEmpty());
}

TEST(RingQueueTest, EntriesKeepTheirOrderAcrossTheWrap)
{
    CRingQueueT<int> q(4);
    for (int i = 0; i < 4; ++i)
        q.Add(i);
    ASSERT_TRUE(q.Pop(3));
    EXPECT_EQ(q.Add(4), 1);
    EXPECT_EQ(q.Add(5), 2);
    EXPECT_EQ(q.Add(6), 3);
    EXPECT_EQ(Contents(q), (std::vector<int>{3, 4, 5, 6}));

    // Removing in the middle of a wrapped ring moves the later entries up.
    EXPECT_TRUE(q.RemoveAt(1));
    EXPECT_EQ(Contents(q), (std::vector<int>{3, 5, 6}));
    EXPECT_FALSE(q.RemoveAt(3));
    EXPECT_EQ(q.Add(7), 3);
    EXPECT_EQ(Contents(q), (std::vector<int>{3, 5, 6, 7}));
}

TEST(RingQueueTest, AccessOutsideTheEntriesGivesNothing)
{
    CRingQueueT<int> q(5);
    q.Add(1);
    EXPECT_EQ(q.GetAt(1), nullptr);
    EXPECT_EQ(q.GetAt(-1), nullptr);
    EXPECT_THROW(q[1], CIndexOutOfBoundsException);
    EXPECT_EQ(q.Take(), 1);
    EXPECT_THROW(q.Take(), CEmptyException);
}

TEST(RingQueueTest, NewCapacityEmptiesTheRing)
{
    CRingQueueT<int> q(2);
    q.Add(1);
    q.Add(2);
    q.SetCapacity(5);
    EXPECT_EQ(q.GetCount(), 0);
    EXPECT_EQ(q.GetCapacity(), 5);
    EXPECT_EQ(q.Add(9), 0);
    EXPECT_THROW(q.SetCapacity(-1), CInvalidParamException);

    CRingQueueT<int> none;
    EXPECT_EQ(none.Add(1), -1);
    EXPECT_FALSE(none.Pop(1));
}

TEST(RingQueueTest, DroppedTextsAreReleased)
{
    CSharedText text("line");
    CRingQueueT<CSharedText> q(3);
    q.Add(text);
    q.Add(text);
    q.Add(text);
    EXPECT_EQ(text.GetRefCount(), 4);
    q.Pop(1);
    q.RemoveAt(0);
    EXPECT_EQ(text.GetRefCount(), 2);
    q.RemoveAll();
    EXPECT_EQ(text.GetRefCount(), 1);
}

TEST(RingQueueTest, FullViewRingDroppingTwentyKeepsTheNewestRows)
{
    // The log views drop their 20 oldest rows when the ring is full.
    const int nCapacity = 100000;
    CRingQueueT<int> q(nCapacity);
    for (int n = 1; n <= nCapacity + 1; ++n) {
        if (q.Add(n) < 0) {
            ASSERT_TRUE(q.Pop(20));
            ASSERT_GE(q.Add(n), 0);
        }
    }
    EXPECT_EQ(q.GetCount(), 99981);
    EXPECT_EQ(q[0], 21);
    EXPECT_EQ(q[99980], nCapacity + 1);
}

TEST(ByteBufferTest, GrowsByAppendAndGuardsItsIndex)
{
    CByteBuffer b;
    EXPECT_EQ(b.GetData(), nullptr);
    b.Append(0x41);
    const BYTE tail[] = {0x00, 0xFF, 0x82};
    b.Append(tail, sizeof(tail));
    b.Append(nullptr, 0);
    ASSERT_EQ(b.GetSize(), 4u);
    EXPECT_EQ(b.GetAt(0), 0x41);
    EXPECT_EQ(b.GetAt(3), 0x82);
    EXPECT_THROW(b.GetAt(4), CIndexOutOfBoundsException);
    EXPECT_THROW(b.Append(nullptr, 1), CNullPointerException);

    b.SetSize(6);
    EXPECT_EQ(b.GetAt(5), 0x00);
    EXPECT_EQ(b.GetAt(2), 0xFF);
    EXPECT_EQ(b, CByteBuffer("\x41\x00\xFF\x82\x00\x00", 6));
    b.Clear();
    EXPECT_TRUE(b.IsEmpty());
}
