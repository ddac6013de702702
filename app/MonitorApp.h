#pragma once

#include "framework/Afx.h"

// The application object: installs the skin, runs the main window as a modal
// dialog and ends the program when it closes.
class CMonitorApp : public CWinApp
{
public:
    CMonitorApp();

    // Answers FALSE always, so that the program never enters the message loop of its own.
    BOOL InitInstance() override;
};
