#include "app/MonitorApp.h"

// The one application object; WinMain of the framework runs it.
CMonitorApp theApp;
