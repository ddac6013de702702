#include <gtest/gtest.h>

#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "support/ZevException.h"
#include "tests/settings/ScratchIni.h"

using namespace ZEV;

namespace {

FILETIME GetWriteTime(const std::string& strPath)
{
    FILETIME ftWrite = {};
    HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    GetFileTime(hFile, nullptr, nullptr, &ftWrite);
    CloseHandle(hFile);
    return ftWrite;
}

// Puts the file's time stamp far in the past, so that any rewrite shows.
void AgeFile(const std::string& strPath)
{
    SYSTEMTIME stOld = {2001, 1, 0, 1, 0, 0, 0, 0};
    FILETIME ftOld = {};
    SystemTimeToFileTime(&stOld, &ftOld);
    HANDLE hFile = CreateFileA(strPath.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
    SetFileTime(hFile, nullptr, nullptr, &ftOld);
    CloseHandle(hFile);
}

bool operator==(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

class IniProfileTest : public ::testing::Test {
protected:
    CScratchIni m_ini;
    CIniProfile m_profile{m_ini.GetPath()};
};

}  // namespace

TEST_F(IniProfileTest, TextStarOneIsAValueNotTheAbsentMark)
{
    m_ini.Write("[s]\r\nk=*1\r\nj=*2\r\n");

    CProfileValue value = m_profile.QueryValue("s", "k");
    EXPECT_EQ(DWORD('s'), value.GetType());
    EXPECT_EQ("*1", value.GetText());
    EXPECT_EQ(DWORD('s'), m_profile.GetValueType("s", "k"));
    EXPECT_EQ("*2", m_profile.QueryValue("s", "j").GetText());
    EXPECT_EQ(DWORD('n'), m_profile.GetValueType("s", "absent"));
    EXPECT_EQ(DWORD('n'), m_profile.QueryValue("nosuch", "k").GetType());
}

TEST_F(IniProfileTest, EmptyValueIsEmptyTextAndTypedReadsFallBackToTheDefault)
{
    m_ini.Write("[s]\r\nk=\r\n");

    CProfileValue value = m_profile.QueryValue("s", "k");
    EXPECT_EQ(DWORD('s'), value.GetType());
    EXPECT_EQ("", value.GetText());
    CProfileSection section = m_profile.GetSection("s");
    EXPECT_EQ(7u, section.ReadDword("k", 7));
    EXPECT_EQ(-9, section.ReadInt64("k", -9));
    EXPECT_EQ(5u, section.ReadDword("absent", 5));
}

TEST_F(IniProfileTest, TextIsReadAsFarAsItIsANumber)
{
    m_ini.Write("[s]\r\nabc=abc\r\nbits=8 bit\r\nneg= -12\r\nbig=4294967301\r\n");
    CProfileSection section = m_profile.GetSection("s");

    EXPECT_EQ(0u, section.ReadDword("abc", 3));
    EXPECT_EQ(8u, section.ReadDword("bits", 3));
    EXPECT_EQ(-12, section.ReadInt64("neg", 0));
    EXPECT_EQ(4294967301LL, section.ReadInt64("big", 0));
    EXPECT_EQ(5u, section.ReadDword("big", 0));  // the low 32 bits
}

TEST_F(IniProfileTest, ValuesAreWrittenAsDecimalTextInWriteOrder)
{
    DeleteFileA(m_ini.GetPath().c_str());
    CProfileSection section = m_profile.GetSection(INI_SECTION_MAIN_DLG);

    EXPECT_TRUE(section.WriteDword(INI_KEY_VALID, 1));
    EXPECT_TRUE(section.WriteInt64(INI_KEY_SX, -120));
    EXPECT_TRUE(section.WriteDword(INI_KEY_SHOW, 4000000000u));
    EXPECT_TRUE(m_profile.Flush());

    EXPECT_EQ("[main-dlg]\r\nValid=1\r\nSX=-120\r\nShow=4000000000\r\n", m_ini.Read());
    EXPECT_EQ(-120, section.ReadInt64(INI_KEY_SX, 0));
}

TEST_F(IniProfileTest, WritingTheStoredValueLeavesTheFileUntouched)
{
    const std::string strContent = "[setting]\r\nport1=1\r\nspeed=5\r\n";
    m_ini.Write(strContent);
    AgeFile(m_ini.GetPath());
    FILETIME ftBefore = GetWriteTime(m_ini.GetPath());
    CProfileSection section = m_profile.GetSection(INI_SECTION_SETTING);

    EXPECT_TRUE(section.WriteDword(INI_KEY_SPEED, 5));
    EXPECT_TRUE(section.WriteValue(INI_KEY_PORT1, CProfileValue(std::string("1"))));
    EXPECT_EQ(strContent, m_ini.Read());
    EXPECT_TRUE(ftBefore == GetWriteTime(m_ini.GetPath()));

    EXPECT_TRUE(section.WriteDword(INI_KEY_SPEED, 6));
    EXPECT_EQ("[setting]\r\nport1=1\r\nspeed=6\r\n", m_ini.Read());
}

TEST_F(IniProfileTest, WritingAnEmptyTextCreatesAnAbsentKey)
{
    m_ini.Write("[s]\r\n");

    EXPECT_TRUE(m_profile.WriteValue("s", "k", CProfileValue(std::string())));
    EXPECT_EQ(DWORD('s'), m_profile.GetValueType("s", "k"));
}

TEST_F(IniProfileTest, NoValueDeletesAPresentKeyAndRefusesAnAbsentOne)
{
    const std::string strContent = "[s]\r\na=1\r\nb=2\r\n";
    m_ini.Write(strContent);

    EXPECT_FALSE(m_profile.WriteValue("s", "absent", CProfileValue()));
    EXPECT_FALSE(m_profile.WriteValue("nosuch", "a", CProfileValue()));
    EXPECT_EQ(strContent, m_ini.Read());

    EXPECT_TRUE(m_profile.WriteValue("s", "a", CProfileValue()));
    EXPECT_EQ("[s]\r\nb=2\r\n", m_ini.Read());
}

TEST_F(IniProfileTest, KeysComeInFileOrderWithDuplicatesKept)
{
    m_ini.Write("[s]\r\nb=1\r\na=2\r\nb=3\r\n[t]\r\nx=0\r\n");

    EXPECT_EQ(TNameList({"b", "a", "b"}), m_profile.EnumKeys("s"));
    EXPECT_TRUE(m_profile.EnumKeys("nosuch").empty());
}

TEST_F(IniProfileTest, SectionPathsFormATree)
{
    m_ini.Write("[A]\r\nk=1\r\n[A\\X]\r\nk=1\r\n[A\\X\\Y]\r\nk=1\r\n[A\\Z]\r\nk=1\r\n"
                "[B]\r\nk=1\r\n[AB]\r\nk=1\r\n");

    EXPECT_EQ(TNameList({"A", "B", "AB"}), m_profile.EnumSections(""));
    EXPECT_EQ(TNameList({"X", "Z"}), m_profile.EnumSections("A"));
    EXPECT_EQ(TNameList({"Y"}), m_profile.EnumSections("a\\x"));
    EXPECT_TRUE(m_profile.EnumSections("B").empty());
}

TEST_F(IniProfileTest, DeletingASectionTakesItsChildrenButNotItsNamesakes)
{
    m_ini.Write("[A]\r\nk=1\r\n[A\\X]\r\nk=1\r\n[A\\X\\Y]\r\nk=1\r\n[A\\Z]\r\nk=1\r\n"
                "[B]\r\nk=1\r\n[AB]\r\nk=1\r\n");

    EXPECT_TRUE(m_profile.DeleteSection("a"));
    EXPECT_EQ(TNameList({"B", "AB"}), m_profile.EnumSections(""));
    EXPECT_EQ("1", m_profile.QueryValue("AB", "k").GetText());
}

TEST_F(IniProfileTest, DeletingFromAFileWithoutSectionsFails)
{
    DeleteFileA(m_ini.GetPath().c_str());

    EXPECT_FALSE(m_profile.DeleteSection("A"));
    EXPECT_TRUE(m_profile.EnumSections("").empty());
}

TEST_F(IniProfileTest, OverlongValueIsCutToTheReadBuffer)
{
    m_ini.Write("[s]\r\nk=" + std::string(70000, 'x') + "\r\n");

    std::string strText = m_profile.QueryValue("s", "k").GetText();
    EXPECT_EQ(MAX_PROFILE_TEXT - 1, strText.size());
}

TEST(IniPathTest, ExtensionOfTheFileNameIsReplaced)
{
    EXPECT_EQ("D:\\Tools\\Taplinar.ini", MakeIniPath("D:\\Tools\\Taplinar.exe"));
    EXPECT_EQ("D:\\Tools\\Taplinar.ini", MakeIniPath("D:\\Tools\\Taplinar"));
    EXPECT_EQ("D:\\v1.2\\tap.ini", MakeIniPath("D:\\v1.2\\tap"));
    EXPECT_EQ("tap.ini", MakeIniPath("tap.exe"));
}

TEST(IniPathTest, DefaultPathIsBesideThisExecutable)
{
    char szExe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    std::string strExe = szExe;

    EXPECT_EQ(strExe.substr(0, strExe.size() - 4) + ".ini", GetDefaultIniPath());
    EXPECT_EQ(GetDefaultIniPath(), CIniProfile().GetFile());
    EXPECT_EQ("", CIniProfile("").GetFile());
    EXPECT_EQ("Inifile", CIniProfile().GetTypeName());
}

TEST(ProfileSectionTest, SectionWithoutStoreIsRefused)
{
    EXPECT_THROW(CProfileSection(nullptr, "s"), CNullPointerException);
}
