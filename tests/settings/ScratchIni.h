#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

// An INI file of its own in the temporary folder for one test, removed
// afterwards.
class CScratchIni {
public:
    CScratchIni()
    {
        char szFolder[MAX_PATH] = {};
        char szFile[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, szFolder);
        GetTempFileNameA(szFolder, "tap", 0, szFile);
        m_strPath = szFile;
    }
    ~CScratchIni() { DeleteFileA(m_strPath.c_str()); }
    CScratchIni(const CScratchIni&) = delete;
    CScratchIni& operator=(const CScratchIni&) = delete;

    const std::string& GetPath() const { return m_strPath; }

    void Write(const std::string& strContent) const
    {
        std::ofstream file(m_strPath, std::ios::binary | std::ios::trunc);
        file << strContent;
    }

    std::string Read() const
    {
        std::ifstream file(m_strPath, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }

private:
    std::string m_strPath;
};
