#pragma once

#include <string>

#include "log/LineListBox.h"
#include "support/FileReadWriter.h"

// Appends one line of the file: "%-70s,%s\r\n" of the two rows.
void AppendLogLine(std::string& strOut, const std::string& strLeft, const std::string& strRight);

// Writes the two log views side by side into a text file, one line per row
// of the left view: the left row filled with spaces to 70 bytes, a comma, the
// right row, CR LF ("%-70s,%s\r\n"). An existing file is replaced whole.
//
// Throws the ZEV exceptions of the file object: CIoFailureException when the
// file cannot be created (value = system error code), CWriteFailureException
// when a write fails. Lines written before a failure stay in the file, which
// is closed in every case. The caller (the export command) turns any of them
// into its own message.
void WriteLogFile(const wchar_t* pszPath, CLineListBox& left, CLineListBox& right);
// The same with a Shift-JIS path.
void WriteLogFile(const char* pszPath, CLineListBox& left, CLineListBox& right);

// The same through a given file object, so that its system calls can be
// replaced. The file is opened here (create, shared read and write).
void WriteLogFile(ZEV::CFileReadWriter& file, const wchar_t* pszPath, CLineListBox& left, CLineListBox& right);
void WriteLogFile(ZEV::CFileReadWriter& file, const char* pszPath, CLineListBox& left, CLineListBox& right);
