#include "support/ZevException.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace ZEV;

TEST(ExceptionTest, EachClassCarriesItsOwnMessageAndValue)
{
    struct TCase
    {
        std::unique_ptr<CZevException> p;
        const char* expected;
        int nValue;
    } cases[] = {
        {std::make_unique<CNullPointerException>(), "NULL\x83\x7C\x83\x43\x83\x93\x83\x5E\x82\xC5\x82\xB7\x81\x42", 0},
        {std::make_unique<CIndexOutOfBoundsException>(), "INDEX\x82\xAA\x94\xCD\x88\xCD\x8A\x4F\x82\xC5\x82\xB7\x81\x42", 0},
        {std::make_unique<CInvalidParamException>(), "\x83\x70\x83\x89\x83\x81\x81\x5B\x83\x5E\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7\x81\x42", 0},
        {std::make_unique<CNotSupportException>(), "\x83\x54\x83\x7C\x81\x5B\x83\x67\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81\x42", 0},
        {std::make_unique<CEmptyException>(), "\x8B\xF3\x82\xC5\x82\xB7\x81\x42", 0},
        {std::make_unique<CShortOfDataException>(), "\x83\x66\x81\x5B\x83\x5E\x82\xAA\x91\xAB\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42", 0},
        {std::make_unique<CIoFailureException>(112), "\x93\xFC\x8F\x6F\x97\xCD\x8E\xB8\x94\x73\x82\xC5\x82\xB7\x81\x42", 112},
        {std::make_unique<CReadFailureException>(6), "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8E\xB8\x94\x73\x82\xC5\x82\xB7\x81\x42", 6},
        {std::make_unique<CWriteFailureException>(24), "\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x8E\xB8\x94\x73\x82\xC5\x82\xB7\x81\x42", 24},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(std::string(c.p->GetString()), c.expected);
        EXPECT_EQ(c.p->GetValue(), c.nValue);
    }
}

TEST(ExceptionTest, GivenMessagesAreCopiedAndNullIsEmpty)
{
    char text[] = "abc";
    CZevException e(text, -5);
    text[0] = 'X';
    EXPECT_STREQ(e.GetString(), "abc");
    EXPECT_EQ(e.GetValue(), -5);
    EXPECT_STREQ(CZevException(nullptr, 0).GetString(), "");
    EXPECT_STREQ(CIoFailureException("own text", 3).GetString(), "own text");
}

TEST(ExceptionTest, WriteFailureIsCaughtAsIoFailureAndAsZevException)
{
    bool bCaughtIo = false;
    try {
        throw CWriteFailureException(0);
    } catch (const CIoFailureException& e) {
        bCaughtIo = true;
        EXPECT_STREQ(e.GetString(), "書き込み失敗です。");
    }
    EXPECT_TRUE(bCaughtIo);

    int nValue = -1;
    try {
        throw CReadFailureException(6);
    } catch (const CZevException& e) {
        nValue = e.GetValue();
    }
    EXPECT_EQ(nValue, 6);
}

TEST(ExceptionTest, ShortOfDataIsNotAnIoFailure)
{
    const char* caughtBy = "none";
    try {
        try {
            throw CShortOfDataException(0);
        } catch (const CIoFailureException&) {
            caughtBy = "io";
        }
    } catch (const CZevException& e) {
        caughtBy = "zev";
        EXPECT_STREQ(e.GetString(), "データが足りません。");
    }
    EXPECT_STREQ(caughtBy, "zev");
}

TEST(ExceptionTest, CopyKeepsTheMessageAfterTheOriginalIsGone)
{
    auto pOriginal = std::make_unique<CZevException>("gone soon", 9);
    CZevException copy(*pOriginal);
    pOriginal.reset();
    EXPECT_STREQ(copy.GetString(), "gone soon");
    EXPECT_EQ(copy.GetValue(), 9);

    CZevException assigned("other", 1);
    {
        CNullPointerException temp;
        assigned = temp;
    }
    EXPECT_STREQ(assigned.GetString(), "NULLポインタです。");
}
