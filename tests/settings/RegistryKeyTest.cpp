#include <gtest/gtest.h>

#include "settings/RegistryKey.h"

using namespace ZEV;

namespace {

const char TEST_ROOT[] = "Software\\TaplinarTest\\RegistryKey";

// A private key below HKEY_CURRENT_USER serves as the store's root; it is
// emptied before and removed after each test.
class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTestRoot();
        HKEY hRoot = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, TEST_ROOT, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &hRoot, nullptr));
        m_pStore.reset(new CRegistryKey(hRoot, KEY_ALL_ACCESS));
    }

    void TearDown() override
    {
        m_pStore.reset();
        DeleteTestRoot();
    }

    static void DeleteTestRoot()
    {
        CRegistryKey(HKEY_CURRENT_USER, KEY_ALL_ACCESS).DeleteSection(TEST_ROOT);
    }

    // Stores raw data as the registry holds it, bypassing the store.
    static void SetRaw(const char* pszSection, const char* pszName, DWORD dwType,
                       const void* pData, DWORD nSize)
    {
        HKEY hKey = nullptr;
        std::string strPath = std::string(TEST_ROOT) + "\\" + pszSection;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, strPath.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &hKey, nullptr));
        RegSetValueExA(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), nSize);
        RegCloseKey(hKey);
    }

    static std::string GetRaw(const char* pszSection, const char* pszName, DWORD& dwType)
    {
        std::string strPath = std::string(TEST_ROOT) + "\\" + pszSection;
        char abData[256] = {};
        DWORD nSize = sizeof(abData);
        if (RegGetValueA(HKEY_CURRENT_USER, strPath.c_str(), pszName, RRF_RT_ANY | RRF_NOEXPAND,
                         &dwType, abData, &nSize) != ERROR_SUCCESS)
            return "<missing>";
        return std::string(abData, nSize);
    }

    static bool KeyExists(const char* pszSection)
    {
        HKEY hKey = nullptr;
        std::string strPath = std::string(TEST_ROOT) + "\\" + pszSection;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
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
    EXPECT_TRUE(m_pStore->WriteValue("S", "qword", CProfileValue(LONGLONG(-1099511627776LL))));
    EXPECT_TRUE(m_pStore->WriteValue("S", "bytes", CProfileValue(CByteBuffer(abBytes, 3))));

    DWORD dwType = 0;
    EXPECT_EQ(std::string("ポート\0", 7), GetRaw("S", "text", dwType));
    EXPECT_EQ(DWORD(REG_SZ), dwType);
    EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF", 4), GetRaw("S", "dword", dwType));
    EXPECT_EQ(DWORD(REG_DWORD), dwType);
    EXPECT_EQ(DWORD(REG_QWORD), (GetRaw("S", "qword", dwType), dwType));
    EXPECT_EQ(DWORD(REG_BINARY), (GetRaw("S", "bytes", dwType), dwType));

    CProfileValue text = m_pStore->QueryValue("S", "text");
    EXPECT_EQ(DWORD('s'), text.GetType());
    EXPECT_EQ("ポート", text.GetText());
    CProfileValue dword = m_pStore->QueryValue("S", "dword");
    EXPECT_EQ(DWORD('d'), dword.GetType());
    EXPECT_EQ("4294967295", dword.ToString());
    CProfileValue qword = m_pStore->QueryValue("S", "qword");
    EXPECT_EQ(DWORD('i'), qword.GetType());
    EXPECT_EQ("-1099511627776", qword.ToString());
    EXPECT_EQ(-1099511627776LL, qword.ToInt64());
    CProfileValue bytes = m_pStore->QueryValue("S", "bytes");
    EXPECT_EQ(DWORD('b'), m_pStore->GetValueType("S", "bytes"));
    EXPECT_EQ("00AB10", bytes.ToString());
}

TEST_F(RegistryKeyTest, StringListsAreJoinedWithEscapedBackslashes)
{
    const char abList[] = "a\0b\\c\0";  // plus the terminator: a, b\c
    SetRaw("S", "list", REG_MULTI_SZ, abList, sizeof(abList));

    CProfileValue value = m_pStore->QueryValue("S", "list");
    EXPECT_EQ(DWORD('p'), value.GetType());
    EXPECT_EQ("a\\^b\\\\c", value.GetText());

    EXPECT_TRUE(m_pStore->WriteValue("S", "copy", value));
    DWORD dwType = 0;
    EXPECT_EQ(std::string(abList, sizeof(abList)), GetRaw("S", "copy", dwType));
    EXPECT_EQ(DWORD(REG_MULTI_SZ), dwType);

    // Empty texts are not stored: the registry list would end at them.
    EXPECT_TRUE(m_pStore->WriteValue("S", "gaps", CProfileValue('p', "\\^x\\^\\^y\\\\")));
    EXPECT_EQ(std::string("x\0y\\\0\0", 6), GetRaw("S", "gaps", dwType));
}

TEST(MultiTextTest, JoinAndSplitAreInverse)
{
    EXPECT_EQ("a\\^b\\\\c", CRegistryKey::JoinMultiText({"a", "b\\c"}));
    EXPECT_EQ("x\\\\y", CRegistryKey::JoinMultiText({"x\\y"}));
    EXPECT_EQ(TNameList({"a", "b\\c"}), CRegistryKey::SplitMultiText("a\\^b\\\\c"));
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
    EXPECT_EQ(DWORD('n'), m_pStore->QueryValue("NoSuch", "x").GetType());
}

TEST_F(RegistryKeyTest, SubKeysAndValueNamesAreListed)
{
    SetRaw("One", "v1", REG_SZ, "", 1);
    SetRaw("One", "v2", REG_SZ, "", 1);
    SetRaw("Two\\Deeper", "v", REG_SZ, "", 1);

    TNameList top = m_pStore->EnumSections("");
    std::sort(top.begin(), top.end());
    EXPECT_EQ(TNameList({"One", "Two"}), top);
    EXPECT_EQ(TNameList({"Deeper"}), m_pStore->EnumSections("Two"));
    EXPECT_TRUE(m_pStore->EnumSections("NoSuch").empty());
    TNameList values = m_pStore->EnumKeys("One");
    std::sort(values.begin(), values.end());
    EXPECT_EQ(TNameList({"v1", "v2"}), values);
    EXPECT_TRUE(m_pStore->EnumKeys("NoSuch").empty());
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
    EXPECT_FALSE(m_pStore->DeleteSection(""));
    EXPECT_EQ(DWORD(ERROR_BADKEY), GetLastError());
}

TEST_F(RegistryKeyTest, ReadOnlyStoreCannotWrite)
{
    SetRaw("S", "v", REG_SZ, "old", 4);
    HKEY hRoot = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, TEST_ROOT, 0, KEY_READ, &hRoot));
    CRegistryKey store(hRoot, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS);

    EXPECT_EQ("old", store.QueryValue("S", "v").GetText());
    EXPECT_FALSE(store.WriteValue("S", "v", CProfileValue(std::string("new"))));
    EXPECT_EQ("old", m_pStore->QueryValue("S", "v").GetText());
    EXPECT_EQ("Registry", store.GetTypeName());
}

TEST_F(RegistryKeyTest, FlushNeedsAnOpenSection)
{
    EXPECT_FALSE(m_pStore->Flush());
    EXPECT_TRUE(m_pStore->GetSection("S").WriteDword("v", 3));
    EXPECT_TRUE(m_pStore->Flush());
    EXPECT_EQ(3u, m_pStore->GetSection("S").ReadDword("v", 0));
}
