#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

// An INI file of its own in the temporary folder, removed afterwards.
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

    const std::string& GetPath() const { return m_strPath; }
    void Write(const std::string& strContent) const
    {
        std::ofstream(m_strPath, std::ios::binary | std::ios::trunc) << strContent;
    }
    std::string Read() const
    {
        std::ostringstream content;
        content << std::ifstream(m_strPath, std::ios::binary).rdbuf();
        return content.str();
    }

private:
    std::string m_strPath;
};
