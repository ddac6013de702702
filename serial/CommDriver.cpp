#include "serial/CommDriver.h"

#include <atomic>

namespace ZEV {

ICommDriver::~ICommDriver() {}

namespace {

bool RunsUnderWine()
{
    HMODULE hNtdll = ::GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && ::GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

class CWin32CommDriver : public ICommDriver {
public:
    HANDLE OpenPort(const char* name, DWORD dwFlags) override
    {
        return ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                             OPEN_EXISTING, dwFlags, NULL);
    }
    BOOL GetCommState(HANDLE h, DCB* p) override { return ::GetCommState(h, p); }
    BOOL SetCommState(HANDLE h, DCB* p) override { return ::SetCommState(h, p); }
    BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* p) override { return ::GetCommTimeouts(h, p); }
    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* p) override { return ::SetCommTimeouts(h, p); }
    BOOL PurgeComm(HANDLE h, DWORD dw) override { return ::PurgeComm(h, dw); }
    BOOL ClearCommError(HANDLE h, DWORD* pErr, COMSTAT* pStat) override
    {
        return ::ClearCommError(h, pErr, pStat);
    }
    BOOL SetCommMask(HANDLE h, DWORD dw) override { return ::SetCommMask(h, dw); }
    BOOL WaitCommEvent(HANDLE h, DWORD* pMask, OVERLAPPED* pOv) override
    {
        return ::WaitCommEvent(h, pMask, pOv);
    }
    BOOL GetCommModemStatus(HANDLE h, DWORD* p) override { return ::GetCommModemStatus(h, p); }
    BOOL EscapeCommFunction(HANDLE h, DWORD dw) override { return ::EscapeCommFunction(h, dw); }
    BOOL SetCommBreak(HANDLE h) override { return ::SetCommBreak(h); }
    BOOL ClearCommBreak(HANDLE h) override { return ::ClearCommBreak(h); }
    BOOL ReadFile(HANDLE h, void* p, DWORD n, DWORD* pRead, OVERLAPPED* pOv) override
    {
        return ::ReadFile(h, p, n, pRead, pOv);
    }
    BOOL WriteFile(HANDLE h, const void* p, DWORD n, DWORD* pWritten, OVERLAPPED* pOv) override
    {
        return ::WriteFile(h, p, n, pWritten, pOv);
    }
    BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* pOv, DWORD* pCount, BOOL bWait) override
    {
        return ::GetOverlappedResult(h, pOv, pCount, bWait);
    }
    BOOL CancelIoEx(HANDLE h, OVERLAPPED* pOv) override { return ::CancelIoEx(h, pOv); }
    BOOL CloseHandle(HANDLE h) override { return ::CloseHandle(h); }
    BOOL SetupComm(HANDLE h, DWORD dwIn, DWORD dwOut) override { return ::SetupComm(h, dwIn, dwOut); }
    bool HasPromptLineEvents() override { return !m_bWine; }
    bool ReportsLineErrors() override { return !m_bWine; }

private:
    const bool m_bWine = RunsUnderWine();
};

CWin32CommDriver& Win32Driver()
{
    static CWin32CommDriver s_driver;
    return s_driver;
}

// Read on every device call from several threads; written only by tests
// between runs, hence no lock.
std::atomic<ICommDriver*> s_pDriver(nullptr);

} // namespace

ICommDriver& CommDriver()
{
    ICommDriver* p = s_pDriver;
    return p ? *p : Win32Driver();
}

ICommDriver* SetCommDriver(ICommDriver* p)
{
    ICommDriver* pOld = s_pDriver;
    s_pDriver = p;
    return pOld ? pOld : &Win32Driver();
}

} // namespace ZEV
