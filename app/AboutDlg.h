#pragma once

#include "framework/Afx.h"
#include "res/resource.h"

// The about box. Its text comes from the running executable's version
// resource, so description, version, build marks and legal line always
// match the file.
class CAboutDlg : public CDialog {
public:
    enum { IDD = IDD_ABOUTBOX };

    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
};
