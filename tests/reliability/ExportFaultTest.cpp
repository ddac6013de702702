// Exporting the log where it cannot be written: a read-only file system, a missing
// folder, and a disk that fills up part-way. The views are real; the file systems
// come from tests/reliability/with_rel_ports.sh (tmpfs mounts, where mounting works).
#include "tests/reliability/ViewPairHost.h"

#include "log/LogExport.h"
#include "support/Format.h"
#include "support/ZevException.h"
#include "tests/e2e/AppDriver.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

std::string WineDir(const char* pszVariable)
{
    char szDir[MAX_PATH] = {};
    if (::GetEnvironmentVariableA(pszVariable, szDir, sizeof szDir) == 0)
        return std::string();
    std::string strDir = std::string("Z:") + szDir;
    for (char& c : strDir)
        if (c == '/')
            c = '\\';
    return strDir;
}

class ExportFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Open());
        // 1500 row pairs, about 130 KiB exported: more than the small disk holds.
        for (int i = 0; i < 1500; ++i) {
            m_host.View(0).PostLine(-1, ZEV::Format("　┃|000%03d| %04X : 41 42 43 44 45 46 47 48  : ABCDEFGH", i % 1000, i * 8).c_str());
            m_host.View(1).PostLine(-1, ZEV::Format("　┃|000%03d|", i % 1000).c_str());
        }
        PumpUntil([this] { return m_host.Count(0) == 1500 && m_host.Count(1) == 1500; }, 60000);
        ASSERT_EQ(m_host.Count(0), 1500);
    }

    // What a successful export writes.
    std::string FullExport()
    {
        std::string strAll;
        for (int i = 0; i < m_host.Count(0); ++i)
            strAll += ZEV::Format("%-70s,%s\r\n", m_host.Row(0, i).c_str(), m_host.Row(1, i).c_str());
        return strAll;
    }

    // Runs the export; answers the error code of the exception, or -1 when none came.
    long ExportTo(const std::string& strPath)
    {
        try {
            WriteLogFile(strPath.c_str(), m_host.View(0), m_host.View(1));
        } catch (const ZEV::CZevException& e) {
            return static_cast<long>(e.GetValue());
        }
        return -1;
    }

    CViewPairHost m_host;
};

TEST_F(ExportFaultTest, DiskFillingUpPartWayFailsAndKeepsWhatWasWritten)
{
    const std::string strDir = WineDir("REL_FULL_DIR");
    if (strDir.empty())
        GTEST_SKIP() << "no small file system mounted";
    const std::string strPath = strDir + "\\log.txt";
    const std::string strFull = FullExport();
    ASSERT_GT(strFull.size(), 64u * 1024u);

    EXPECT_NE(ExportTo(strPath), -1) << "the export reports the failure";
    const std::string strWritten = ReadFileBytes(strPath);
    std::printf("export onto a 64 KiB disk: %u of %u bytes written before the failure\n",
                static_cast<unsigned>(strWritten.size()), static_cast<unsigned>(strFull.size()));
    EXPECT_GT(strWritten.size(), 32u * 1024u) << "what fitted stays";
    EXPECT_LT(strWritten.size(), strFull.size());
    EXPECT_EQ(strWritten, strFull.substr(0, strWritten.size())) << "in order and unchanged";
    ::DeleteFileA(strPath.c_str());

    // On a disk with room the same export succeeds and writes all of it, so the
    // failure above came from the full disk.
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strRoomy = std::string(szTemp) + "rel-export.txt";
    EXPECT_EQ(ExportTo(strRoomy), -1L);
    EXPECT_EQ(ReadFileBytes(strRoomy), strFull);
    ::DeleteFileA(strRoomy.c_str());
}

TEST_F(ExportFaultTest, UnwritablePlacesFailWithoutCreatingAnything)
{
    const std::string strReadOnly = WineDir("REL_RO_DIR");
    if (!strReadOnly.empty()) {
        EXPECT_NE(ExportTo(strReadOnly + "\\log.txt"), -1);
        EXPECT_EQ(::GetFileAttributesA((strReadOnly + "\\log.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strMissing = std::string(szTemp) + "rel-no-such-folder\\log.txt";
    EXPECT_EQ(ExportTo(strMissing), static_cast<long>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
