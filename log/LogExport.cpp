#include "log/LogExport.h"

#include <string>

#include "support/WideText.h"
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

// Left rows are filled with spaces to this width, so that the commas line up.
const size_t LEFT_WIDTH = 70;

} // namespace

void AppendLogLine(std::string& strOut, const std::string& strLeft, const std::string& strRight)
{
    strOut += strLeft;
    if (strLeft.size() < LEFT_WIDTH)
        strOut.append(LEFT_WIDTH - strLeft.size(), ' ');
    strOut += ',';
    strOut += strRight;
    strOut += "\r\n";
}

void WriteLogFile(const wchar_t* pszPath, CLineListBox& left, CLineListBox& right)
{
    ZEV::CFileReadWriter file;
    WriteLogFile(file, pszPath, left, right);
}

void WriteLogFile(const char* pszPath, CLineListBox& left, CLineListBox& right)
{
    WriteLogFile(ZEV::ToWide(pszPath).c_str(), left, right);
}

void WriteLogFile(ZEV::CFileReadWriter& file, const char* pszPath, CLineListBox& left, CLineListBox& right)
{
    WriteLogFile(file, ZEV::ToWide(pszPath).c_str(), left, right);
}

void WriteLogFile(ZEV::CFileReadWriter& file, const wchar_t* pszPath, CLineListBox& left, CLineListBox& right)
{
    CCloseOnExit closer(file);
    if (!file.Open(pszPath, ZEV::CFileHandle::MODE_CREATE, true))
        throw ZEV::CIoFailureException(static_cast<int>(GetLastError()));

    const int nCount = left.GetCount();
    std::string strLeft;
    std::string strRight;
    std::string strLine;
    for (int i = 0; i < nCount; ++i) {
        // A view leaves the text untouched for a row it does not have; a row
        // missing on the right must come out empty, not as the previous one.
        strLeft.clear();
        strRight.clear();
        left.GetLineText(i, strLeft);
        right.GetLineText(i, strRight);
        strLine.clear();
        AppendLogLine(strLine, strLeft, strRight);
        file.Write(static_cast<DWORD>(strLine.size()), strLine.data());
    }
}
