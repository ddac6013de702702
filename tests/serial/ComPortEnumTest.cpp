#include <gtest/gtest.h>

#include <map>

#include "serial/ComPortEnum.h"
#include "serial/ComPortFinder.h"

using namespace ZEV;

namespace {

const char ENUM[] = "SYSTEM\\CurrentControlSet\\Enum";

// A key tree held in memory: sections are full paths, listed in the order
// they were first mentioned.
class CFakeKeyTree : public IProfile {
public:
    void Set(const std::string& strSection, const std::string& strKey, const CProfileValue& value)
    {
        AddSection(strSection);
        m_values[strSection + "|" + strKey] = value;
    }
    void SetText(const std::string& strSection, const std::string& strKey, const std::string& strText)
    {
        Set(strSection, strKey, CProfileValue(strText));
    }
    // One device instance with its driver key and its port name.
    void AddPort(const std::string& strInstance, const std::string& strDriver,
                 const std::string& strPortName)
    {
        SetText(std::string(ENUM) + "\\" + strInstance, "Driver", strDriver);
        SetText(std::string(ENUM) + "\\" + strInstance + "\\Device Parameters", "PortName",
                strPortName);
    }

    std::string GetTypeName() const override { return "Fake"; }
    TNameList EnumSections(const std::string& strParent) override
    {
        TNameList names;
        for (const std::string& strPath : m_sections) {
            size_t nCut = strPath.rfind('\\');
            std::string strUp = nCut == std::string::npos ? "" : strPath.substr(0, nCut);
            if (strUp == strParent)
                names.push_back(strPath.substr(nCut == std::string::npos ? 0 : nCut + 1));
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
        return it == m_values.end() ? CProfileValue() : it->second;
    }
    bool WriteValue(const std::string&, const std::string&, const CProfileValue&) override
    {
        return false;
    }

private:
    void AddSection(const std::string& strPath)
    {
        for (size_t nCut = strPath.find('\\'); ; nCut = strPath.find('\\', nCut + 1)) {
            std::string strPrefix = strPath.substr(0, nCut);
            bool bKnown = false;
            for (const std::string& strSeen : m_sections)
                bKnown = bKnown || strSeen == strPrefix;
            if (!bKnown)
                m_sections.push_back(strPrefix);
            if (nCut == std::string::npos)
                break;
        }
    }

    TNameList m_sections;
    std::map<std::string, CProfileValue> m_values;
};

// The device manager's present devices, each a set of raw properties.
class CFakeDevices : public IPresentDevices {
public:
    typedef std::map<DWORD, std::string> TProperties;

    void Add(const std::string& strDriver, const std::string& strDesc, const std::string& strMfg,
             const std::string& strHardwareIds = std::string())
    {
        TProperties props;
        props[SPDRP_DRIVER] = strDriver + '\0';
        props[SPDRP_DEVICEDESC] = strDesc + '\0';
        props[SPDRP_MFG] = strMfg + '\0';
        if (!strHardwareIds.empty())
            props[SPDRP_HARDWAREID] = strHardwareIds;
        m_devices.push_back(props);
    }
    void AddRaw(const TProperties& props) { m_devices.push_back(props); }

    bool Open() override
    {
        ++m_nOpened;
        return true;
    }
    bool SelectDevice(DWORD nIndex) override
    {
        m_nCurrent = nIndex;
        return nIndex < m_devices.size();
    }
    bool ReadProperty(DWORD dwProperty, std::string& strData) override
    {
        const TProperties& props = m_devices.at(m_nCurrent);
        auto it = props.find(dwProperty);
        if (it == props.end())
            return false;
        strData = it->second;
        return true;
    }
    void Close() override { ++m_nClosed; }

    int m_nOpened = 0;
    int m_nClosed = 0;

private:
    std::vector<TProperties> m_devices;
    DWORD m_nCurrent = 0;
};

const char GUID_PORTS[] = "{4d36e978-e325-11ce-bfc1-08002be10318}";

std::string DriverKey(int nInstance)
{
    return std::string(GUID_PORTS) + "\\" + std::to_string(10000 + nInstance).substr(1);
}

// A string list as the device manager stores it.
std::string MultiText(const TNameList& texts)
{
    std::string strData;
    for (const std::string& strText : texts)
        strData += strText + '\0';
    return strData + '\0';
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
    m_devices.Add(DriverKey(3), "通信ポート", "(標準ポート)",
                  MultiText({"ACPI\\VEN_PNP&DEV_0501", "*PNP0501"}));

    TComPortList ports = Enumerate();

    ASSERT_EQ(1u, ports.size());
    EXPECT_EQ(3, ports[0].m_nPort);
    EXPECT_EQ("通信ポート", ports[0].m_strDescription);
    EXPECT_EQ("(標準ポート)", ports[0].m_strManufacturer);
    EXPECT_EQ(0, ports[0].m_nVendorId);
    EXPECT_EQ(0, ports[0].m_nProductId);
    EXPECT_EQ(1, m_devices.m_nClosed);
}

TEST_F(ComPortEnumTest, NonComPortNameEndsTheVisitOfItsInstance)
{
    const std::string strPrinter = std::string(ENUM) + "\\ROOT\\PRINTER\\0000";
    m_tree.SetText(strPrinter, "Driver", DriverKey(1));
    m_tree.SetText(strPrinter + "\\Device Parameters", "PortName", "LPT1");
    // Below the same instance, after its parameters: never visited.
    m_tree.SetText(strPrinter + "\\Child\\Device Parameters", "PortName", "COM9");
    m_devices.Add(DriverKey(1), "Printer port", "maker");

    EXPECT_TRUE(Enumerate().empty());
    EXPECT_EQ(0, m_devices.m_nOpened);  // no port name: the device manager is not asked

    m_tree.AddPort("ROOT\\PORTS\\0004", DriverKey(4), "COM4");
    m_devices.Add(DriverKey(4), "Serial", "maker");
    EXPECT_EQ("4", Ports(Enumerate()));
}

TEST_F(ComPortEnumTest, PortWithoutPresentDeviceGivesNoRecord)
{
    m_tree.AddPort("USB\\VID_0403&PID_6001\\A1", DriverKey(5), "COM5");
    m_tree.AddPort("USB\\VID_0403&PID_6001\\B2", DriverKey(6), "COM6");
    m_devices.Add(DriverKey(6), "USB Serial Port", "FTDI");
    CFakeDevices::TProperties noDriver;
    noDriver[SPDRP_DEVICEDESC] = std::string("no driver key\0", 14);
    m_devices.AddRaw(noDriver);

    EXPECT_EQ("6", Ports(Enumerate()));
}

TEST_F(ComPortEnumTest, RecordsComeInNumericOrder)
{
    m_tree.AddPort("ROOT\\PORTS\\0000", DriverKey(0), "COM10");
    m_tree.AddPort("ROOT\\PORTS\\0001", DriverKey(1), "COM2");
    m_tree.AddPort("ROOT\\PORTS\\0002", DriverKey(2), "COM1");
    for (int i = 0; i < 3; ++i)
        m_devices.Add(DriverKey(i), "port", "maker");

    EXPECT_EQ("1,2,10", Ports(Enumerate()));
}

TEST_F(ComPortEnumTest, EveryMatchGivesItsOwnRecord)
{
    m_tree.AddPort("ROOT\\PORTS\\0000", DriverKey(0), "COM5");
    m_tree.AddPort("ROOT\\PORTS\\0001", DriverKey(1), "COM5");
    m_devices.Add(DriverKey(0), "first", "maker");
    m_devices.Add(DriverKey(1), "second", "maker");
    m_devices.Add(DriverKey(0), "first again", "maker");

    TComPortList ports = Enumerate();

    EXPECT_EQ("5,5,5", Ports(ports));
}

TEST_F(ComPortEnumTest, VendorAndProductComeFromTheFirstHardwareId)
{
    m_tree.AddPort("USB\\VID_1234&PID_ABCD\\0", DriverKey(0), "COM8");
    m_devices.Add(DriverKey(0), "USB serial", "maker",
                  MultiText({"USB\\VID_1234&PID_ABCD", "USB\\VID_9999&PID_8888&REV_0100"}));

    TComPortList ports = Enumerate();

    ASSERT_EQ(1u, ports.size());
    EXPECT_EQ(0x1234, ports[0].m_nVendorId);
    EXPECT_EQ(0xABCD, ports[0].m_nProductId);
}

TEST_F(ComPortEnumTest, MissingPropertiesLeaveFieldsEmpty)
{
    m_tree.AddPort("ROOT\\PORTS\\0000", DriverKey(0), "COM2");
    CFakeDevices::TProperties props;
    props[SPDRP_DRIVER] = DriverKey(0) + '\0';
    m_devices.AddRaw(props);

    TComPortList ports = Enumerate();

    ASSERT_EQ(1u, ports.size());
    EXPECT_EQ("", ports[0].m_strDescription);
    EXPECT_EQ("", ports[0].m_strManufacturer);
    EXPECT_EQ(" (COM2)", ports[0].GetDisplayText());
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
    EXPECT_EQ(3, CComPortFinder::ParsePortNumber("COM3"));
    EXPECT_EQ(0, CComPortFinder::ParsePortNumber("COMX"));
    EXPECT_EQ(0, CComPortFinder::ParsePortNumber("COM"));
    EXPECT_EQ(0, CComPortFinder::ParsePortNumber("COM65537"));  // would wrap to COM1
    EXPECT_EQ(0, CComPortFinder::ParsePortNumber("COM-1"));
}

TEST(ComPortFinderTest, ParametersKeyIsMatchedWithLetterCase)
{
    CFakeKeyTree tree;
    tree.SetText("R\\A", "Driver", "a");
    tree.SetText("R\\A\\device parameters", "PortName", "COM1");
    tree.SetText("R\\B", "Driver", "b");
    tree.SetText("R\\B\\Device Parameters", "PortName", "COM2");
    CComPortFinder finder(tree);

    EXPECT_EQ(0, finder.Walk("R"));
    EXPECT_EQ(std::vector<WORD>({2}), finder.GetPorts());
    EXPECT_EQ(std::vector<std::string>({"b"}), finder.GetDriverKeys());
}

namespace {

// Records every key the walk meets and stops at a chosen name.
class CRecordingWalker : public CRegistryWalker {
public:
    CRecordingWalker(IProfile& profile, const std::string& strStopAt)
        : CRegistryWalker(profile), m_strStopAt(strStopAt) {}

    std::string m_strSeen;

protected:
    int OnFindKey(const std::string& strName, const std::string& strSection, int nDepth) override
    {
        m_strSeen += strSection + "@" + std::to_string(nDepth) + " ";
        return strName == m_strStopAt ? FIND_STOP : FIND_ENTER;
    }

private:
    std::string m_strStopAt;
};

}  // namespace

TEST(RegistryWalkerTest, WalkGoesDepthFirstAndStopsWhenAsked)
{
    CFakeKeyTree tree;
    tree.SetText("R\\A\\A1", "v", "");
    tree.SetText("R\\B", "v", "");
    tree.SetText("R\\C", "v", "");

    CRecordingWalker walker(tree, "B");
    EXPECT_EQ(CRegistryWalker::FIND_STOP, walker.Walk("R"));
    EXPECT_EQ("R\\A@1 R\\A\\A1@2 R\\B@1 ", walker.m_strSeen);
    EXPECT_EQ(0, walker.GetDepth());

    CRecordingWalker whole(tree, "none");
    EXPECT_EQ(0, whole.Walk(""));
    EXPECT_EQ("R@1 R\\A@2 R\\A\\A1@3 R\\B@2 R\\C@2 ", whole.m_strSeen);
}
