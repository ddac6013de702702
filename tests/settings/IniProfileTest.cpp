#include <gtest/gtest.h>

#include "settings/IniProfile.h"
#include "settings/ProfileKeys.h"
#include "support/ZevException.h"
#include "tests/settings/ScratchIni.h"

using namespace ZEV;

namespace {

ULONGLONG GetWriteTime(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data);
    return (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Puts the file's time stamp far in the past, so that any rewrite shows.
void AgeFile(const std::string& strPath)
{
    FILETIME ftOld = {0, 0x01C00000};
    HANDLE hFile = CreateFileA(strPath.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
    SetFileTime(hFile, nullptr, nullptr, &ftOld);
    CloseHandle(hFile);
}

class IniProfileTest : public ::testing::Test {
protected:
    CScratchIni m_ini;
    CIniProfile m_profile{m_ini.GetPath()};
};

const char TREE[] = "[A]\r\nk=1\r\n[A\\X]\r\nk=1\r\n[A\\X\\Y]\r\nk=1\r\n[A\\Z]\r\nk=1\r\n"
                    "[B]\r\nk=1\r\n[AB]\r\nk=1\r\n";

}  // namespace

TEST_F(IniProfileTest, AbsentKeysAreToldFromEmptyAndFromTheMarkTexts)
{
    m_ini.Write("[s]\r\nstar=*1\r\nempty=\r\n");

    CProfileValue star = m_profile.QueryValue("s", "star");
    EXPECT_EQ(DWORD('s'), star.GetType());
    EXPECT_EQ("*1", star.GetText());
    CProfileValue empty = m_profile.QueryValue("s", "empty");
    EXPECT_EQ(DWORD('s'), empty.GetType());
    EXPECT_EQ("", empty.GetText());
    EXPECT_EQ(DWORD('n'), m_profile.GetValueType("s", "absent"));
    EXPECT_EQ(DWORD('n'), m_profile.QueryValue("nosuch", "star").GetType());
}

TEST_F(IniProfileTest, TypedReadsFallBackOnlyForAbsentOrEmptyValues)
{
    m_ini.Write("[s]\r\nempty=\r\nabc=abc\r\nbits=8 bit\r\nneg= -12\r\nbig=4294967301\r\n");
    CProfileSection section = m_profile.GetSection("s");

    EXPECT_EQ(7u, section.ReadDword("empty", 7));
    EXPECT_EQ(-9, section.ReadInt64("absent", -9));
    EXPECT_EQ(0u, section.ReadDword("abc", 3));
    EXPECT_EQ(8u, section.ReadDword("bits", 3));
    EXPECT_EQ(-12, section.ReadInt64("neg", 0));
    EXPECT_EQ(5u, section.ReadDword("big", 0));  // the low 32 bits
}

TEST_F(IniProfileTest, OnlyChangedValuesAreWrittenAsDecimalText)
{
    m_ini.Write("[setting]\r\nport1=1\r\nspeed=5\r\n");
    AgeFile(m_ini.GetPath());
    ULONGLONG nBefore = GetWriteTime(m_ini.GetPath());
    CProfileSection section = m_profile.GetSection(INI_SECTION_SETTING);

    EXPECT_TRUE(section.WriteDword(INI_KEY_SPEED, 5));
    EXPECT_TRUE(section.WriteValue(INI_KEY_PORT1, CProfileValue(std::string("1"))));
    EXPECT_EQ(nBefore, GetWriteTime(m_ini.GetPath()));

    EXPECT_TRUE(section.WriteDword(INI_KEY_SPEED, 4000000000u));
    EXPECT_TRUE(section.WriteInt64(INI_KEY_PORT2, -120));
    EXPECT_TRUE(m_profile.Flush());
    EXPECT_EQ("[setting]\r\nport1=1\r\nspeed=4000000000\r\nport2=-120\r\n", m_ini.Read());
}

TEST_F(IniProfileTest, EmptyTextWrittenToAnAbsentKeyCreatesIt)
{
    EXPECT_TRUE(m_profile.WriteValue("s", "k", CProfileValue(std::string())));
    EXPECT_EQ(DWORD('s'), m_profile.GetValueType("s", "k"));
}

TEST_F(IniProfileTest, NoValueDeletesAPresentKeyAndRefusesAnAbsentOne)
{
    m_ini.Write("[s]\r\na=1\r\nb=2\r\n");

    EXPECT_FALSE(m_profile.WriteValue("s", "absent", CProfileValue()));
    EXPECT_FALSE(m_profile.WriteValue("nosuch", "a", CProfileValue()));
    EXPECT_EQ("[s]\r\na=1\r\nb=2\r\n", m_ini.Read());
    EXPECT_TRUE(m_profile.WriteValue("s", "a", CProfileValue()));
    EXPECT_EQ("[s]\r\nb=2\r\n", m_ini.Read());
    EXPECT_EQ(TNameList({"b"}), m_profile.EnumKeys("s"));
}

TEST_F(IniProfileTest, SectionPathsFormATreeThatIsDeletedWhole)
{
    m_ini.Write(TREE);

    EXPECT_EQ(TNameList({"A", "B", "AB"}), m_profile.EnumSections(""));
    EXPECT_EQ(TNameList({"X", "Z"}), m_profile.EnumSections("A"));
    EXPECT_EQ(TNameList({"Y"}), m_profile.EnumSections("a\\x"));

    // A section that only begins with the same letters is not a child.
    EXPECT_TRUE(m_profile.DeleteSection("a"));
    EXPECT_EQ(TNameList({"B", "AB"}), m_profile.EnumSections(""));

    DeleteFileA(m_ini.GetPath().c_str());
    EXPECT_FALSE(m_profile.DeleteSection("B"));
}

TEST(IniPathTest, ExtensionOfTheExecutableIsReplaced)
{
    EXPECT_EQ("D:\\Tools\\Taplinar.ini", MakeIniPath("D:\\Tools\\Taplinar.exe"));
    EXPECT_EQ("D:\\Tools\\Taplinar.ini", MakeIniPath("D:\\Tools\\Taplinar"));
    EXPECT_EQ("D:\\v1.2\\tap.ini", MakeIniPath("D:\\v1.2\\tap"));

    char szExe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    std::string strExe = szExe;
    EXPECT_EQ(strExe.substr(0, strExe.size() - 4) + ".ini", CIniProfile().GetFile());
    EXPECT_EQ("", CIniProfile("").GetFile());
}

// A folder whose name the system's code page cannot hold (Hangul under code page 932,
// as Japanese under 1252): the settings still go into it.
TEST(IniPathTest, AFolderNameOutsideTheCodePageStillHoldsTheSettings)
{
    wchar_t szTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    // A one-letter name: its short name is longer.
    const std::wstring strParent = std::wstring(szTemp) + L"taplinar-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring strDir = strParent + L"\\\uD55C";
    const std::wstring strExe = strDir + L"\\tap.exe";
    ASSERT_TRUE(CreateDirectoryW(strParent.c_str(), nullptr) && CreateDirectoryW(strDir.c_str(), nullptr));
    HANDLE hExe = CreateFileW(strExe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    CloseHandle(hExe);
    const std::string strIni = MakeIniPath(ToAnsiPath(strExe));
    EXPECT_EQ(std::string::npos, strIni.find('?')) << strIni;
    EXPECT_TRUE(CIniProfile(strIni).WriteValue("s", "k", CProfileValue(std::string("v"))));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((strDir + L"\\tap.ini").c_str())) << strIni;
    DeleteFileW((strDir + L"\\tap.ini").c_str());
    DeleteFileW(strExe.c_str());
    RemoveDirectoryW(strDir.c_str());
    RemoveDirectoryW(strParent.c_str());
}

TEST(ProfileSectionTest, SectionWithoutStoreIsRefused)
{
    EXPECT_THROW(CProfileSection(nullptr, "s"), CNullPointerException);
}
