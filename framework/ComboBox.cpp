#include "framework/ComboBox.h"

#include <vector>

void CComboBox::GetLBText(int nIndex, std::string& rString) const
{
    int nLength = GetLBTextLen(nIndex);
    if (nLength < 0) {
        rString.clear();
        return;
    }
    std::vector<char> buffer(nLength + 1);
    int n = GetLBText(nIndex, buffer.data());
    rString.assign(buffer.data(), n > 0 ? n : 0);
}
