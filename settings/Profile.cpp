#include "settings/Profile.h"

namespace ZEV {

IProfile::~IProfile()
{
}

bool IProfile::Flush()
{
    return true;
}

CProfileSection IProfile::GetSection(const std::string& strName)
{
    return CProfileSection(this, strName);
}

}  // namespace ZEV
