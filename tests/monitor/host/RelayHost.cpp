// A relaying pair on two real COM ports and nothing else, for the
// end-to-end test and the relay benchmark. Usage: relay_host N1 N2 [BAUD]
// Prints "ready" once both ports are open, relays until its standard input
// ends, then prints how many bytes each side reported and destroys the pair
// (which stops all four threads and drops DTR and RTS).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "monitor/LineRelay.h"

namespace {

class CCountingListener : public ILineListener
{
public:
    CCountingListener() : m_nBytes{0, 0} {}

    void OnLineData(int nIndex, DWORD dwSize, const BYTE*) override
    {
        if (nIndex == 0 || nIndex == 1)
            InterlockedExchangeAdd(&m_nBytes[nIndex], static_cast<LONG>(dwSize));
    }
    void OnCtsChanged(int, bool) override {}
    void OnDsrChanged(int, bool) override {}

    LONG Bytes(int nIndex) const { return m_nBytes[nIndex]; }

private:
    volatile LONG m_nBytes[2];
};

bool OpenRelay(CLineRelay& relay, int nPort, DWORD dwBaud)
{
    ZEV::TPortSetting setting;
    setting.strPortName = ZEV::MakePortName(nPort);
    setting.dwBaudRate = dwBaud;
    setting.nByteSize = 8;
    setting.dwParity = NOPARITY;
    setting.dwStopBits = ONESTOPBIT;
    relay.SetPortSetting(setting);
    return relay.Open() != FALSE;
}

// Blocks until the driving script closes our standard input.
void WaitForEndOfInput()
{
    HANDLE hInput = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[64];
    DWORD dwRead = 0;
    while (ReadFile(hInput, buffer, sizeof(buffer), &dwRead, NULL) && dwRead > 0) {
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: relay_host N1 N2 [BAUD]\n");
        return 2;
    }
    int nPort1 = std::atoi(argv[1]);
    int nPort2 = std::atoi(argv[2]);
    DWORD dwBaud = argc > 3 ? static_cast<DWORD>(std::atol(argv[3])) : 115200;

    CCountingListener listener;
    {
        CLineRelay port1;
        CLineRelay port2;
        port1.Attach(0, &listener, &port2);
        port2.Attach(1, &listener, &port1);
        if (!OpenRelay(port1, nPort1, dwBaud) || !OpenRelay(port2, nPort2, dwBaud)) {
            std::printf("open failed %lu\n", GetLastError());
            std::fflush(stdout);
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        WaitForEndOfInput();
        // Give the event threads a moment to deliver what is still queued.
        Sleep(200);
        std::printf("reported %ld %ld\n", listener.Bytes(0), listener.Bytes(1));
        std::fflush(stdout);
    }
    std::printf("closed\n");
    std::fflush(stdout);
    return 0;
}
