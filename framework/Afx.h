#pragma once

// The whole framework: application object, windows, dialogs, controls and
// the common dialogs, with the names and signatures the program is written
// against.
#include <windows.h>

#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "framework/Menu.h"
#include "framework/DC.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "framework/ListBox.h"
#include "framework/ComboBox.h"
#include "framework/Static.h"
#include "framework/Button.h"
#include "framework/FileDialog.h"
#include "framework/WaitCursor.h"
#include "framework/WinThread.h"
