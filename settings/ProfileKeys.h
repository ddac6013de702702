#pragma once

// Section and key names of the INI file beside the executable, with the
// defaults a reader falls back to when a key is absent or empty. Writers and
// readers share these so that a typo cannot split one setting in two.

#include <windows.h>

namespace ZEV {

// Main window placement, written when the main window is destroyed.
constexpr char INI_SECTION_MAIN_DLG[] = "main-dlg";
constexpr char INI_KEY_VALID[] = "Valid";
constexpr char INI_KEY_SX[] = "SX";
constexpr char INI_KEY_SY[] = "SY";
constexpr char INI_KEY_EX[] = "EX";
constexpr char INI_KEY_EY[] = "EY";
constexpr char INI_KEY_SHOW[] = "Show";
constexpr char INI_KEY_MAXIMIZE[] = "Maximize";

constexpr DWORD INI_DEFAULT_VALID = 0;
constexpr LONGLONG INI_DEFAULT_SX = 0;
constexpr LONGLONG INI_DEFAULT_SY = 0;
constexpr LONGLONG INI_DEFAULT_EX = 100;
constexpr LONGLONG INI_DEFAULT_EY = 100;
constexpr DWORD INI_DEFAULT_SHOW = 1;
constexpr DWORD INI_DEFAULT_MAXIMIZE = 0;

// How the log is shown.
constexpr char INI_SECTION_LOG_SETTING[] = "log-setting";
constexpr char INI_KEY_DATA_WIDTH[] = "data-width";          // 0 = 16 bytes a row, other = 8
constexpr char INI_KEY_DATA_VIEW_TYPE[] = "data-view-type";  // 0 = abbreviated dump, other = full
constexpr char INI_KEY_SIGNAL_MODE[] = "signal-mode";        // 0 = signal lines shown, other = hidden

constexpr DWORD INI_DEFAULT_DATA_WIDTH = 1;
constexpr DWORD INI_DEFAULT_DATA_VIEW_TYPE = 0;
constexpr DWORD INI_DEFAULT_SIGNAL_MODE = 0;

// Port pair and line settings. Apart from the port numbers these are list
// positions in the port settings dialog, not the values shown.
constexpr char INI_SECTION_SETTING[] = "setting";
constexpr char INI_KEY_PORT1[] = "port1";      // COM port number
constexpr char INI_KEY_PORT2[] = "port2";      // COM port number
constexpr char INI_KEY_SPEED[] = "speed";      // index into the speed list, 0 = 4800
constexpr char INI_KEY_PARITY[] = "parity";    // 0 none, 1 odd, 2 even
constexpr char INI_KEY_STOPBIT[] = "stopbit";  // 0 one, 1 one and a half, 2 two
constexpr char INI_KEY_DATA[] = "data";        // 0 = 8 data bits, 1 = 7
constexpr char INI_KEY_FLOW[] = "flow";        // 0 = none, 1 = CTS flow control

constexpr DWORD INI_DEFAULT_PORT1 = 1;
constexpr DWORD INI_DEFAULT_PORT2 = 2;
constexpr DWORD INI_DEFAULT_SPEED = 0;
constexpr DWORD INI_DEFAULT_PARITY = 0;
constexpr DWORD INI_DEFAULT_STOPBIT = 0;
constexpr DWORD INI_DEFAULT_DATA = 0;
constexpr DWORD INI_DEFAULT_FLOW = 0;

}  // namespace ZEV
