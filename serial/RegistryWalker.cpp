#include "serial/RegistryWalker.h"

#include "settings/SectionPath.h"

namespace ZEV {

CRegistryWalker::CRegistryWalker(IProfile& profile)
    : m_profile(profile), m_nDepth(0)
{
}

CRegistryWalker::~CRegistryWalker()
{
}

int CRegistryWalker::OnFindKey(const std::string&, const std::string&, int)
{
    return FIND_ENTER;
}

int CRegistryWalker::Walk(const std::string& strSection)
{
    ++m_nDepth;
    TNameList names = m_profile.EnumSections(strSection);
    for (const std::string& strName : names) {
        // A name with a backslash would be read as a deeper path.
        if (strName.empty() || FindFirstBackslash(strName) != std::string::npos)
            continue;
        std::string strChild = strSection.empty() ? strName : strSection + "\\" + strName;
        int nResult = OnFindKey(strName, strChild, m_nDepth);
        if (nResult == FIND_ENTER)
            nResult = Walk(strChild);
        if (nResult == FIND_LEAVE_LEVEL)
            break;
        if (nResult != FIND_ENTER) {
            --m_nDepth;
            return FIND_STOP;
        }
    }
    --m_nDepth;
    return 0;
}

}  // namespace ZEV
