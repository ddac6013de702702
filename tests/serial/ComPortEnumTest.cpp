#include <gtest/gtest.h>

#include <map>

#include "serial/ComPortEnum.h"
#include "serial/ComPortFinder.h"

using namespace ZEV;

namespace {

const char ENUM[] = "E";

// A key tree in memory. Sections are full paths listed in the order they
// were first mentioned; only reads are needed.
class CFakeKeyTree : public IProfile {
public:
    void SetText(const std::string& strSection, const std::string& strKey, const std::string& strText)
    {
        for (size_t nCut = 0; nCut != std::string::npos; nCut = strSection.find('\\', nCut + 1)) {
            std::string strPrefix = strSection.substr(0, strSection.find('\\', nCut + 1));
            if (std::find(m_sections.begin(), m_sections.end(), strPrefix) == m_sections.end())
                m_sections.push_back(strPrefix);
        }
        m_values[strSection + "|" + strKey] = strText;
    }
    // One device instance below the tree's root with its driver key and port name.
    void AddPort(const std::string& strInstance, const std::string& strDriver, const std::string& strPort)
    {
        SetText(std::string(ENUM) + "\\" + strInstance, "Driver", strDriver);
        SetText(std::string(ENUM) + "\\" + strInstance + "\\Device Parameters", "PortName", strPort);
    }

    std::string GetTypeName() const override { return "Fake"; }
    TNameList EnumSections(const std::string& strParent) override
    {
        TNameList names;
        for (const std::string& strPath : m_sections) {
            size_t nCut = strPath.rfind('\\');
            if (nCut != std::string::npos && strPath.compare(0, nCut, strParent) == 0 &&
                nCut == strParent.size())
                names.push_back(strPath.substr(nCut + 1));
            if (nCut == std::string::npos && strParent.empty())
                names.push_back(strPath);
        }
        return names;
    }
    bool DeleteSection(const std::string&) override { return false; }
    TNameList EnumKeys(const std::string&) override { return TNameList(); }
    DWORD GetValueType(const std::string& strSection, const std::string& strKey) override
    {
        return QueryValue(strSection, strKey).GetType();
    }
    CProfileValue QueryValue(const std::string& strSection, const std::string& strKey) override
    {
        auto it = m_values.find(strSection + "|" + strKey);
        return it == m_values.end() ? CProfileValue() : CProfileValue(it->second);
    }
    bool WriteValue(const std::string&, const std::string&, const CProfileValue&) override
    {
        return false;
    }

private:
    TNameList m_sections;
    std::map<std::string, std::string> m_values;
};

// Present devices, each a set of raw properties as the device manager gives them.
class CFakeDevices : public IPresentDevices {
public:
    typedef std::map<DWORD, std::string> TProperties;

    void Add(const std::string& strDriver, const std::string& strDesc, const std::string& strMfg,
             const std::string& strHardwareIds = std::string())
    {
        TProperties props = {{SPDRP_DRIVER, strDriver + '\0'}};
        if (!strDesc.empty())
            props[SPDRP_DEVICEDESC] = strDesc + '\0';
        if (!strMfg.empty())
            props[SPDRP_MFG] = strMfg + '\0';
        if (!strHardwareIds.empty())
            props[SPDRP_HARDWAREID] = strHardwareIds;
        m_devices.push_back(props);
    }

    bool Open() override { return ++m_nOpened > 0; }
    bool SelectDevice(DWORD nIndex) override { return (m_nCurrent = nIndex) < m_devices.size(); }
    bool ReadProperty(DWORD dwProperty, std::string& strData) override
    {
        auto it = m_devices.at(m_nCurrent).find(dwProperty);
        if (it == m_devices.at(m_nCurrent).end())
            return false;
        strData = it->second;
        return true;
    }
    void Close() override {}

    std::vector<TProperties> m_devices;
    int m_nOpened = 0;
    DWORD m_nCurrent = 0;
};

std::string DriverKey(int nInstance)
{
    return "{4d36e978-e325-11ce-bfc1-08002be10318}\\000" + std::to_string(nInstance);
}

std::string Ports(const TComPortList& ports)
{
    std::string strPorts;
    for (const TComPortInfo& info : ports)
        strPorts += (strPorts.empty() ? "" : ",") + std::to_string(info.m_nPort);
    return strPorts;
}

class ComPortEnumTest : public ::testing::Test {
protected:
    TComPortList Enumerate() { return EnumComPorts(m_tree, ENUM, m_devices); }

    CFakeKeyTree m_tree;
    CFakeDevices m_devices;
};

}  // namespace

TEST_F(ComPortEnumTest, PortMatchedByDriverKeyGivesOneRecord)
{
    m_tree.AddPort("ACPI\\PNP0501\\1", DriverKey(3), "COM3");
    m_devices.Add(DriverKey(7), "Other device", "Other maker");
    m_devices.Add(DriverKey(3), "通信ポート", "(標準ポート)");

    TComPortList ports = Enumerate();

    ASSERT_EQ(1u, ports.size());
    EXPECT_EQ(3, ports[0].m_nPort);
    EXPECT_EQ("通信ポート", ports[0].m_strDescription);
    EXPECT_EQ("(標準ポート)", ports[0].m_strManufacturer);
    EXPECT_EQ(0, ports[0].m_nVendorId);
}

TEST_F(ComPortEnumTest, NonComPortNameEndsTheVisitOfItsInstance)
{
    m_tree.SetText("E\\ROOT\\PRINTER\\0", "Driver", DriverKey(1));
    m_tree.SetText("E\\ROOT\\PRINTER\\0\\Device Parameters", "PortName", "LPT1");
    m_tree.SetText("E\\ROOT\\PRINTER\\0\\Later\\Device Parameters", "PortName", "COM9");
    m_devices.Add(DriverKey(1), "Printer port", "maker");

    EXPECT_TRUE(Enumerate().empty());
    EXPECT_EQ(0, m_devices.m_nOpened);  // no port name: the device manager is not asked

    m_tree.AddPort("ROOT\\PORTS\\4", DriverKey(4), "COM4");
    m_devices.Add(DriverKey(4), "Serial", "maker");
    EXPECT_EQ("4", Ports(Enumerate()));
}

TEST_F(ComPortEnumTest, OnlyPresentDevicesCountAndEveryMatchIsKept)
{
    m_tree.AddPort("USB\\A1", DriverKey(5), "COM5");
    m_tree.AddPort("USB\\B2", DriverKey(6), "COM6");  // unplugged
    m_tree.AddPort("USB\\C3", DriverKey(7), "COM5");
    m_devices.Add(DriverKey(5), "first", "maker");
    m_devices.Add(DriverKey(7), "second", "maker");
    m_devices.Add(DriverKey(5), "first again", "maker");

    EXPECT_EQ("5,5,5", Ports(Enumerate()));
}

TEST_F(ComPortEnumTest, RecordsComeInNumericOrder)
{
    m_tree.AddPort("ROOT\\PORTS\\0", DriverKey(0), "COM10");
    m_tree.AddPort("ROOT\\PORTS\\1", DriverKey(1), "COM2");
    m_tree.AddPort("ROOT\\PORTS\\2", DriverKey(2), "COM1");
    for (int i = 0; i < 3; ++i)
        m_devices.Add(DriverKey(i), "port", "maker");

    EXPECT_EQ("1,2,10", Ports(Enumerate()));
}

TEST_F(ComPortEnumTest, VendorAndProductComeFromTheFirstHardwareId)
{
    m_tree.AddPort("USB\\VID_1234&PID_ABCD\\0", DriverKey(0), "COM8");
    m_devices.Add(DriverKey(0), "USB serial", "",
                  std::string("USB\\VID_1234&PID_ABCD\0USB\\VID_9999&PID_8888\0", 45));

    TComPortList ports = Enumerate();

    ASSERT_EQ(1u, ports.size());
    EXPECT_EQ(0x1234, ports[0].m_nVendorId);
    EXPECT_EQ(0xABCD, ports[0].m_nProductId);
    EXPECT_EQ("", ports[0].m_strManufacturer);
}

TEST(ComPortInfoTest, DisplayTextLeavesOutAMakerTheDescriptionAlreadyNames)
{
    TComPortInfo info;
    info.m_nPort = 5;
    info.m_strManufacturer = "FTDI";
    info.m_strDescription = "FTDI USB Serial Port";
    EXPECT_EQ("FTDI USB Serial Port (COM5)", info.GetDisplayText());
    info.m_strDescription = "USB シリアル ポート";
    EXPECT_EQ("FTDI USB シリアル ポート (COM5)", info.GetDisplayText());
    info.m_strManufacturer.clear();
    EXPECT_EQ("USB シリアル ポート (COM5)", info.GetDisplayText());
}

TEST(ComPortFinderTest, PortNumberIsTheDecimalAfterCom)
{
    EXPECT_EQ(12, CComPortFinder::ParsePortNumber("COM12"));
    EXPECT_EQ(0, CComPortFinder::ParsePortNumber("COMX"));
    EXPECT_EQ(0, CComPortFinder::ParsePortNumber("COM"));
    EXPECT_EQ(0, CComPortFinder::ParsePortNumber("COM65537"));  // would wrap round to COM1
}
