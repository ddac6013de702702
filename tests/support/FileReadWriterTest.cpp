#include "support/FileReadWriter.h"
#include "support/ZevException.h"

#include <gtest/gtest.h>

#include <string>

using namespace ZEV;

namespace {

class FileReadWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        ASSERT_NE(::GetTempPathA(MAX_PATH, temp), 0u);
        m_strDir = std::string(temp) + "taplinar-file-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(m_strDir.c_str(), nullptr);
        m_strPath = m_strDir + "\\data.bin";
    }

    void TearDown() override
    {
        ::DeleteFileA(m_strPath.c_str());
        ::RemoveDirectoryA(m_strDir.c_str());
    }

    void WriteRaw(const std::string& bytes)
    {
        CFileReadWriter f;
        ASSERT_TRUE(f.Open(m_strPath.c_str(), 1, false));
        f.Write(static_cast<DWORD>(bytes.size()), bytes.data());
    }

    std::string ReadRaw()
    {
        CFileReadWriter f;
        if (!f.Open(m_strPath.c_str(), 0, true))
            return "<missing>";
        std::string s(static_cast<size_t>(f.GetSize()), '\0');
        if (!s.empty())
            f.ReadExactly(static_cast<DWORD>(s.size()), &s[0]);
        return s;
    }

    std::string m_strDir;
    std::string m_strPath;
};

// Lets the first write through, then writes only part of each later block.
class CShortWriter : public CFileReadWriter
{
public:
    BOOL WriteFile(HANDLE h, LPCVOID data, DWORD nSize, LPDWORD pWritten, LPOVERLAPPED pOverlapped) override
    {
        if (m_nCalls++ == 0)
            return CFileReadWriter::WriteFile(h, data, nSize, pWritten, pOverlapped);
        return CFileReadWriter::WriteFile(h, data, nSize / 2, pWritten, pOverlapped);
    }
    int m_nCalls = 0;
};

template <class T>
void ExpectRead(CFileReadWriter& r, T expected)
{
    T value{};
    r.Read(value);
    EXPECT_EQ(value, expected);
}

class CFailingReader : public CFileReadWriter
{
public:
    BOOL ReadFile(HANDLE, LPVOID, DWORD, LPDWORD pRead, LPOVERLAPPED) override
    {
        *pRead = 0;
        ::SetLastError(ERROR_CRC);
        return FALSE;
    }
};

} // namespace

TEST_F(FileReadWriterTest, OpenInMissingDirectoryFailsAndStaysClosed)
{
    CFileReadWriter f;
    std::string path = m_strDir + "\\no-such-dir\\x.txt";
    EXPECT_FALSE(f.Open(path.c_str(), 1, true));
    EXPECT_FALSE(f.IsOpened());
    EXPECT_FALSE(f.CanWrite());
    EXPECT_EQ(f.GetHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(f.GetSize(), -1);
    EXPECT_EQ(f.Seek(0, 0, FILE_BEGIN), -1);
    EXPECT_EQ(f.GetFileName(), path);
}

TEST_F(FileReadWriterTest, CreateModeTruncatesAnExistingFile)
{
    WriteRaw("old contents");
    CFileReadWriter f;
    ASSERT_TRUE(f.Open(m_strPath.c_str(), 1, true));
    EXPECT_TRUE(f.CanWrite());
    EXPECT_EQ(f.GetSize(), 0);
    f.Write(3, "new");
    f.Close();
    EXPECT_EQ(ReadRaw(), "new");
}

TEST_F(FileReadWriterTest, ReadModeNeedsAnExistingFileAndCannotWrite)
{
    CFileReadWriter f;
    EXPECT_FALSE(f.Open(m_strPath.c_str(), 0, true));
    WriteRaw("abc");
    ASSERT_TRUE(f.Open(m_strPath.c_str(), 7, true));
    EXPECT_FALSE(f.CanWrite());
    try {
        f.Write(1, "x");
        FAIL() << "write to a read-only file succeeded";
    } catch (const CWriteFailureException& e) {
        EXPECT_NE(e.GetValue(), 0);
    }
    f.Close();
    EXPECT_EQ(ReadRaw(), "abc");
}

TEST_F(FileReadWriterTest, ReadExactlyShortOfBytesDeliversThemAndThrows)
{
    WriteRaw("xyz");
    CFileReadWriter f;
    ASSERT_TRUE(f.Open(m_strPath.c_str(), 0, false));
    char buf[4] = {0, 0, 0, 0};
    EXPECT_THROW(f.ReadExactly(4, buf), CShortOfDataException);
    EXPECT_EQ(std::string(buf, 3), "xyz");
    EXPECT_EQ(f.Read(4, buf), 0u);
}

TEST_F(FileReadWriterTest, ClosedObjectFailsReadsWritesAndSize)
{
    CFileReadWriter f;
    char buf[4];
    int nReadValue = -1;
    try {
        f.ReadExactly(4, buf);
    } catch (const CReadFailureException& e) {
        nReadValue = e.GetValue();
    }
    EXPECT_EQ(nReadValue, 6);
    EXPECT_THROW(f.Read(4, buf), CReadFailureException);

    int nWriteValue = -1;
    try {
        f.Write(2, "ab");
    } catch (const CWriteFailureException& e) {
        nWriteValue = e.GetValue();
    }
    EXPECT_EQ(nWriteValue, ERROR_INVALID_HANDLE);
    EXPECT_THROW(f.SetEnd(), CWriteFailureException);
    EXPECT_EQ(f.GetSize(), -1);
}

TEST_F(FileReadWriterTest, EmptyWriteWritesNothingAndOversizedWriteIsRefused)
{
    CFileReadWriter f;
    ASSERT_TRUE(f.Open(m_strPath.c_str(), 1, true));
    f.Write(0, "ignored");
    EXPECT_EQ(f.GetSize(), 0);
    int nValue = -1;
    try {
        f.Write(0xFFFFFFFF, "x");
    } catch (const CWriteFailureException& e) {
        nValue = e.GetValue();
    }
    EXPECT_EQ(nValue, ERROR_BAD_LENGTH);
    EXPECT_EQ(f.GetSize(), 0);
}

TEST_F(FileReadWriterTest, ShortWriteThrowsWithZeroAndKeepsEarlierBytes)
{
    {
        CShortWriter f;
        ASSERT_TRUE(f.Open(m_strPath.c_str(), 1, true));
        f.Write(6, "line1\n");
        int nValue = -1;
        try {
            f.Write(6, "line2\n");
        } catch (const CWriteFailureException& e) {
            nValue = e.GetValue();
        }
        EXPECT_EQ(nValue, 0);
    }
    EXPECT_EQ(ReadRaw(), "line1\nlin");
}

TEST_F(FileReadWriterTest, FailedReadCarriesTheSystemError)
{
    WriteRaw("data");
    CFailingReader f;
    ASSERT_TRUE(f.Open(m_strPath.c_str(), 0, true));
    char buf[4];
    int nValue = -1;
    try {
        f.ReadExactly(4, buf);
    } catch (const CIoFailureException& e) {
        nValue = e.GetValue();
    }
    EXPECT_EQ(nValue, ERROR_CRC);
}

TEST_F(FileReadWriterTest, TypedValuesRoundTripInMemoryOrder)
{
    CFileReadWriter w;
    ASSERT_TRUE(w.Open(m_strPath.c_str(), 1, true));
    w.Write(1.5f); w.Write(-2.25); w.Write(static_cast<long double>(3.5));
    w.Write(-5000000000LL); w.Write(0xFEDCBA9876543210ULL);
    w.Write(-7); w.Write(0x01020304u); w.Write(-8L); w.Write(9UL);
    w.Write(static_cast<short>(-10)); w.Write(static_cast<unsigned short>(0xABCD));
    w.Write('c'); w.Write(static_cast<unsigned char>(0xF0)); w.Write(true);
    w.Close();

    std::string raw = ReadRaw();
    ASSERT_EQ(raw.size(), 4u + 8 * 4 + 4 * 4 + 2 * 2 + 3);
    EXPECT_EQ(raw.substr(40, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(raw.substr(54), std::string("\xCD\xAB" "c\xF0\x01", 5));

    CFileReadWriter r;
    ASSERT_TRUE(r.Open(m_strPath.c_str(), 0, true));
    ExpectRead(r, 1.5f); ExpectRead(r, -2.25); ExpectRead<long double>(r, 3.5);
    ExpectRead(r, -5000000000LL); ExpectRead(r, 0xFEDCBA9876543210ULL);
    ExpectRead(r, -7); ExpectRead(r, 0x01020304u); ExpectRead(r, -8L); ExpectRead(r, 9UL);
    ExpectRead<short>(r, -10); ExpectRead<unsigned short>(r, 0xABCD);
    ExpectRead(r, 'c'); ExpectRead<unsigned char>(r, 0xF0); ExpectRead(r, true);
    bool bPastEnd;
    EXPECT_THROW(r.Read(bPastEnd), CShortOfDataException);
}

TEST_F(FileReadWriterTest, SeekAndSetEndCutTheFile)
{
    CFileReadWriter f;
    ASSERT_TRUE(f.Open(m_strPath.c_str(), 2, true));
    f.Write(10, "0123456789");
    EXPECT_EQ(f.Seek(-3, -1, FILE_END), 7);
    EXPECT_EQ(f.Seek(4, 0, FILE_BEGIN), 4);
    f.SetEnd();
    EXPECT_EQ(f.GetSize(), 4);
    EXPECT_EQ(f.Seek(-1, -1, FILE_BEGIN), -1);
    f.Close();
    EXPECT_EQ(ReadRaw(), "0123");
}

TEST_F(FileReadWriterTest, SharedHandleClosesWithItsLastHolder)
{
    CFileReadWriter first;
    ASSERT_TRUE(first.Open(m_strPath.c_str(), 1, false));
    CFileHandle second(first);
    first.Close();
    EXPECT_TRUE(second.IsOpened());

    // Opened without sharing, the file stays locked while any holder is left.
    CFileReadWriter probe;
    EXPECT_FALSE(probe.Open(m_strPath.c_str(), 0, true));
    second.Close();
    EXPECT_TRUE(probe.Open(m_strPath.c_str(), 0, true));

    HANDLE h = probe.GetHandle();
    probe.Attach(h);
    EXPECT_TRUE(probe.IsOpened());
    EXPECT_EQ(probe.GetSize(), 0);
}
