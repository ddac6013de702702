#include <gtest/gtest.h>

#include <algorithm>

#include "settings/RegistryKey.h"

using namespace ZEV;

namespace {

const char TEST_ROOT[] = "Software\\TaplinarTest\\RegistryKey";

std::string FullPath(const char* pszSection)
{
    return std::string(TEST_ROOT) + "\\" + pszSection;
}

// A private key below HKEY_CURRENT_USER is the store's root; it starts empty
// and is removed afterwards.
class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRegistryKey(HKEY_CURRENT_USER, KEY_ALL_ACCESS).DeleteSection(TEST_ROOT);
        HKEY hRoot = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, TEST_ROOT, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &hRoot, nullptr));
        m_pStore.reset(new CRegistryKey(hRoot, KEY_ALL_ACCESS));
    }
    void TearDown() override
    {
        m_pStore.reset();
        CRegistryKey(HKEY_CURRENT_USER, KEY_ALL_ACCESS).DeleteSection(TEST_ROOT);
    }

    // Raw access, bypassing the store.
    static void SetRaw(const char* pszSection, const char* pszName, DWORD dwType, const void* pData,
                       DWORD nSize)
    {
        RegSetKeyValueA(HKEY_CURRENT_USER, FullPath(pszSection).c_str(), pszName, dwType, pData, nSize);
    }
    static std::string GetRaw(const char* pszSection, const char* pszName, DWORD dwType)
    {
        char abData[256] = {};
        DWORD nSize = sizeof(abData), dwStored = REG_NONE;
        RegGetValueA(HKEY_CURRENT_USER, FullPath(pszSection).c_str(), pszName,
                     RRF_RT_ANY | RRF_NOEXPAND, &dwStored, abData, &nSize);
        return dwStored == dwType ? std::string(abData, nSize) : "<other type>";
    }
    static bool KeyExists(const char* pszSection)
    {
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, FullPath(pszSection).c_str(), 0, KEY_READ, &hKey))
            return false;
        RegCloseKey(hKey);
        return true;
    }

    std::unique_ptr<CRegistryKey> m_pStore;
};

}  // namespace

TEST_F(RegistryKeyTest, EachKindIsStoredAsItsRegistryTypeAndReadBack)
{
    const BYTE abBytes[] = {0x00, 0xAB, 0x10};
    EXPECT_TRUE(m_pStore->WriteValue("S", "text", CProfileValue(std::string("ポート"))));
    EXPECT_TRUE(m_pStore->WriteValue("S", "dword", CProfileValue(DWORD(0xFFFFFFFF))));
    EXPECT_TRUE(m_pStore->WriteValue("S", "qword", CProfileValue(LONGLONG(-0x10000000000LL))));
    EXPECT_TRUE(m_pStore->WriteValue("S", "bytes", CProfileValue(CByteBuffer(abBytes, 3))));

    EXPECT_EQ(std::string("ポート\0", 7), GetRaw("S", "text", REG_SZ));
    EXPECT_EQ("\xFF\xFF\xFF\xFF", GetRaw("S", "dword", REG_DWORD));
    EXPECT_EQ(std::string("\0\0\0\0\0\xFF\xFF\xFF", 8), GetRaw("S", "qword", REG_QWORD));
    EXPECT_EQ(std::string("\0\xAB\x10", 3), GetRaw("S", "bytes", REG_BINARY));

    CProfileValue text = m_pStore->QueryValue("S", "text");
    EXPECT_EQ(DWORD('s'), text.GetType());
    EXPECT_EQ("ポート", text.GetText());
    EXPECT_EQ(DWORD('d'), m_pStore->GetValueType("S", "dword"));
    EXPECT_EQ("4294967295", m_pStore->QueryValue("S", "dword").ToString());
    EXPECT_EQ(DWORD('i'), m_pStore->GetValueType("S", "qword"));
    EXPECT_EQ(-0x10000000000LL, m_pStore->QueryValue("S", "qword").ToInt64());
    EXPECT_EQ(DWORD('b'), m_pStore->GetValueType("S", "bytes"));
    EXPECT_EQ("00AB10", m_pStore->QueryValue("S", "bytes").ToString());
}

TEST_F(RegistryKeyTest, StringListsAreJoinedWithEscapedBackslashes)
{
    const char abList[] = "a\0b\\c\0";  // a, b\c and the closing zero
    SetRaw("S", "list", REG_MULTI_SZ, abList, sizeof(abList));

    CProfileValue value = m_pStore->QueryValue("S", "list");
    EXPECT_EQ(DWORD('p'), value.GetType());
    EXPECT_EQ("a\\^b\\\\c", value.GetText());
    EXPECT_TRUE(m_pStore->WriteValue("S", "copy", value));
    EXPECT_EQ(std::string(abList, sizeof(abList)), GetRaw("S", "copy", REG_MULTI_SZ));
    // Empty texts are left out: in the registry's list they would end it.
    EXPECT_TRUE(m_pStore->WriteValue("S", "gaps", CProfileValue('p', "\\^x\\^\\^y\\\\")));
    EXPECT_EQ(std::string("x\0y\\\0\0", 6), GetRaw("S", "gaps", REG_MULTI_SZ));

    const TNameList tricky = {"\\", "^", "a\\^b", "表\\"};
    EXPECT_EQ(tricky, CRegistryKey::SplitMultiText(CRegistryKey::JoinMultiText(tricky)));
}

TEST_F(RegistryKeyTest, ExpandableTextIsReadExpanded)
{
    SetEnvironmentVariableA("TAPLINAR_TEST_DIR", "C:\\tap");
    const char szExpand[] = "%TAPLINAR_TEST_DIR%\\log";
    SetRaw("S", "path", REG_EXPAND_SZ, szExpand, sizeof(szExpand));

    EXPECT_EQ(DWORD('s'), m_pStore->GetValueType("S", "path"));
    EXPECT_EQ("C:\\tap\\log", m_pStore->QueryValue("S", "path").GetText());
}

TEST_F(RegistryKeyTest, MissingAndUntypedValuesAreNoValue)
{
    SetRaw("S", "none", REG_NONE, "xy", 2);

    EXPECT_EQ(DWORD('n'), m_pStore->GetValueType("S", "missing"));
    EXPECT_EQ(DWORD('n'), m_pStore->GetValueType("NoSuch", "none"));
    EXPECT_EQ(DWORD('n'), m_pStore->GetValueType("S", "none"));
    EXPECT_EQ(DWORD('n'), m_pStore->QueryValue("S", "none").GetType());
}

TEST_F(RegistryKeyTest, SubKeysAndValueNamesAreListed)
{
    SetRaw("One", "v1", REG_SZ, "", 1);
    SetRaw("Two\\Deeper", "v", REG_SZ, "", 1);

    TNameList top = m_pStore->EnumSections("");
    std::sort(top.begin(), top.end());
    EXPECT_EQ(TNameList({"One", "Two"}), top);
    EXPECT_EQ(TNameList({"Deeper"}), m_pStore->EnumSections("Two"));
    EXPECT_EQ(TNameList({"v1"}), m_pStore->EnumKeys("One"));
}

TEST_F(RegistryKeyTest, DeletingAValueNeverCreatesItsSection)
{
    SetRaw("S", "v", REG_DWORD, "\1\0\0\0", 4);

    EXPECT_FALSE(m_pStore->WriteValue("NoSuch", "v", CProfileValue()));
    EXPECT_FALSE(KeyExists("NoSuch"));
    EXPECT_FALSE(m_pStore->WriteValue("S", "absent", CProfileValue()));
    EXPECT_TRUE(m_pStore->WriteValue("S", "v", CProfileValue()));
    EXPECT_EQ(DWORD('n'), m_pStore->GetValueType("S", "v"));
}

TEST_F(RegistryKeyTest, DeletingASectionRemovesTheWholeTree)
{
    SetRaw("A\\B\\C", "v", REG_SZ, "", 1);
    SetRaw("A\\D", "v", REG_SZ, "", 1);
    SetRaw("Keep", "v", REG_SZ, "", 1);
    EXPECT_EQ(DWORD('s'), m_pStore->GetValueType("A\\B\\C", "v"));  // holds that key open

    EXPECT_TRUE(m_pStore->DeleteSection("A"));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_FALSE(KeyExists("A"));
    EXPECT_TRUE(KeyExists("Keep"));
    EXPECT_FALSE(m_pStore->DeleteSection("A"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
}
