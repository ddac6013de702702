#include "log/LogExport.h"

#include <string>

#include "support/Format.h"
#include "support/ZevException.h"

namespace {

// Closes the file however the export ends.
class CCloseOnExit
{
public:
    explicit CCloseOnExit(ZEV::CFileReadWriter& file) : m_file(file) {}
    ~CCloseOnExit() { m_file.Close(); }

    CCloseOnExit(const CCloseOnExit&) = delete;
    CCloseOnExit& operator=(const CCloseOnExit&) = delete;

private:
    ZEV::CFileReadWriter& m_file;
};

} // namespace

void WriteLogFile(const char* pszPath, CLineListBox& left, CLineListBox& right)
{
    ZEV::CFileReadWriter file;
    WriteLogFile(file, pszPath, left, right);
}

void WriteLogFile(ZEV::CFileReadWriter& file, const char* pszPath, CLineListBox& left, CLineListBox& right)
{
    CCloseOnExit closer(file);
    if (!file.Open(pszPath, ZEV::CFileHandle::MODE_CREATE, true))
        throw ZEV::CIoFailureException(static_cast<int>(GetLastError()));

    const int nCount = left.GetCount();
    std::string strLeft;
    std::string strRight;
    for (int i = 0; i < nCount; ++i) {
        // A view leaves the text untouched for a row it does not have; a row
        // missing on the right must come out empty, not as the previous one.
        strLeft.clear();
        strRight.clear();
        left.GetLineText(i, strLeft);
        right.GetLineText(i, strRight);
        const std::string strLine = ZEV::Format("%-70s,%s\r\n", strLeft.c_str(), strRight.c_str());
        file.Write(static_cast<DWORD>(strLine.size()), strLine.data());
    }
}
