// listcomports: the COM ports as the program's port settings dialog gets them (registry
// walk and device manager), one a line: COMn TAB tool tip text TAB vendor id TAB product id.
// Texts are Shift-JIS, as the program sees them.
#include <cstdio>

#include "serial/ComPortEnum.h"

int main()
{
    for (const ZEV::TComPortInfo& info : ZEV::EnumComPorts()) {
        printf("COM%u\t%s\t%04X\t%04X\n", info.m_nPort, info.GetDisplayText().c_str(), info.m_nVendorId,
               info.m_nProductId);
    }
    return 0;
}
