// soak TAPLINAR.EXE [SECONDS] [paced]: traffic both ways at once through the real program
// on pty-backed ports (COM1 <-> COM3, COM2 <-> COM4, as tests/reliability/with_rel_ports.sh
// or tests/e2e/with_ports.sh provide them), in bursts of a few KiB with pauses of at
// least 150 ms, or with "paced" without a pause at 921600 bit/s each way, for SECONDS
// (300 by default). Checks that every byte arrives at the far device in order and once,
// that the two views keep the same number of rows (sampled) and never hold more than
// 100000, and watches the program's working set. Prints "name: value unit" lines; exit
// code 1 when anything was lost or out of step.
#include "tests/e2e/AppDriver.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

const int ID_LEFT_VIEW = 1000;
const int ID_RIGHT_VIEW = 1001;
const int MAX_ROWS = 100000;
const int ROWS_DROPPED = 20;
// Full dump at 16 bytes a row, so that five minutes of traffic go past the row limit.
const char SOAK_INI[] = "[log-setting]\r\ndata-width=0\r\ndata-view-type=1\r\nsignal-mode=0\r\n";

// The bytes one device sends: the same generator on both ends of a direction, so the
// receiver knows what must come next.
class CByteStream
{
public:
    explicit CByteStream(unsigned nSeed) : m_nState(nSeed) {}
    char Next()
    {
        m_nState = m_nState * 1103515245u + 12345u;
        return static_cast<char>(m_nState >> 23);
    }

private:
    unsigned m_nState;
};

// One direction: a device that sends bursts and the far device that checks them.
struct TDirection
{
    const char* pszName;
    CDevicePort* pFrom;
    CDevicePort* pTo;
    unsigned nSeed;
    std::atomic<unsigned long long> nSent{0};
    std::atomic<unsigned long long> nReceived{0};
    std::atomic<unsigned long long> nWrong{0};   // arrived, but not the byte expected there
    std::atomic<bool> bSending{true};
};

void SendBursts(TDirection& dir, DWORD dwSeconds)
{
    CByteStream stream(dir.nSeed);
    unsigned nPick = dir.nSeed;
    const DWORD dwStart = ::GetTickCount();
    while (::GetTickCount() - dwStart < dwSeconds * 1000) {
        nPick = nPick * 69069u + 1u;
        const size_t nBurst = 2048 + (nPick >> 8) % 3072;      // 2 to 5 KiB
        std::string strBurst;
        for (size_t i = 0; i < nBurst; ++i)
            strBurst += stream.Next();
        if (!dir.pFrom->Write(strBurst))
            break;
        dir.nSent += nBurst;
        // The relay moves about 12 KB/s under Wine: wait until the burst is through,
        // then pause so that the log writes its block out.
        const DWORD dwBurstStart = ::GetTickCount();
        while (dir.nReceived < dir.nSent && ::GetTickCount() - dwBurstStart < 30000)
            ::Sleep(10);
        ::Sleep(150 + (nPick >> 4) % 250);
    }
    dir.bSending = false;
}

// A line kept busy at 921600 bit/s (8 data bits, a start and a stop bit): the bytes are
// written as the clock makes them due, never ahead; a relay that falls behind holds the
// writes back and the sender catches up afterwards.
const unsigned long long PACED_BYTES_PER_SECOND = 921600 / 10;

void SendPaced(TDirection& dir, DWORD dwSeconds)
{
    CByteStream stream(dir.nSeed);
    const DWORD dwStart = ::GetTickCount();
    for (DWORD dwNow = dwStart; dwNow - dwStart < dwSeconds * 1000; dwNow = ::GetTickCount()) {
        const unsigned long long nDue = (dwNow - dwStart) * PACED_BYTES_PER_SECOND / 1000;
        std::string strChunk;
        while (dir.nSent + strChunk.size() < nDue)
            strChunk += stream.Next();
        if (!strChunk.empty() && !dir.pFrom->Write(strChunk))
            break;
        dir.nSent += strChunk.size();
        ::Sleep(10);
    }
    dir.bSending = false;
}

void CheckArrivals(TDirection& dir)
{
    CByteStream expected(dir.nSeed);
    DWORD dwQuietSince = ::GetTickCount();
    for (;;) {
        const std::string strData = dir.pTo->Read(4096, 50);
        for (char c : strData)
            if (c != expected.Next())
                ++dir.nWrong;
        dir.nReceived += strData.size();
        if (!strData.empty())
            dwQuietSince = ::GetTickCount();
        else if (!dir.bSending && (dir.nReceived >= dir.nSent || ::GetTickCount() - dwQuietSince > 10000))
            return;
    }
}

int GetCount(HWND hMain, int nId)
{
    DWORD_PTR dwCount = 0;
    if (!::SendMessageTimeoutA(::GetDlgItem(hMain, nId), LB_GETCOUNT, 0, 0, SMTO_NORMAL, 10000, &dwCount))
        return -1;
    return static_cast<int>(dwCount);
}

// Left, right, left again: when the left count did not move meanwhile, the window
// took at most one half of one pair between the reads (a pair is posted own view
// first, so either half may come first), so the counts differ by one at most.
// Answers false when no quiet sample came.
bool SampleCounts(HWND hMain, int& nLeft, int& nRight)
{
    for (int nTry = 0; nTry < 20; ++nTry) {
        const int nLeft1 = GetCount(hMain, ID_LEFT_VIEW);
        nRight = GetCount(hMain, ID_RIGHT_VIEW);
        nLeft = GetCount(hMain, ID_LEFT_VIEW);
        if (nLeft1 >= 0 && nRight >= 0 && nLeft1 == nLeft)
            return true;
    }
    return false;
}

// A full view drops its oldest 20 rows to make room, so near the limit one view may
// have dropped them a moment before the other.
bool IsInStep(int nLeft, int nRight)
{
    const int nGap = std::abs(nLeft - nRight);
    if (nGap <= 1)
        return true;
    return nGap <= ROWS_DROPPED && std::min(nLeft, nRight) >= MAX_ROWS - ROWS_DROPPED;
}

SIZE_T GetPeakWorkingSet(HANDLE hProcess)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(hProcess, &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: soak TAPLINAR.EXE [SECONDS]\n");
        return 2;
    }
    const DWORD dwSeconds = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 300;
    const bool bPaced = argc > 3 && std::string(argv[3]) == "paced";
    CDevicePort host(3), instrument(4);
    if (!host.IsOpen() || !instrument.IsOpen()) {
        std::fprintf(stderr, "soak: COM3 and COM4 are needed\n");
        return 2;
    }
    host.Drain();
    instrument.Drain();
    CAppDriver app;
    HWND hMain = app.Start(argv[1], SOAK_INI) ? app.ConfirmPorts(30000) : NULL;
    if (hMain == NULL) {
        std::fprintf(stderr, "soak: the program did not come up\n");
        return 2;
    }
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.GetProcessId());

    TDirection toInstrument{"host->instrument", &host, &instrument, 0x1234};
    TDirection toHost{"instrument->host", &instrument, &host, 0xBEEF};
    void (*send)(TDirection&, DWORD) = bPaced ? SendPaced : SendBursts;
    std::thread sendA(send, std::ref(toInstrument), dwSeconds);
    std::thread sendB(send, std::ref(toHost), dwSeconds);
    std::thread checkA(CheckArrivals, std::ref(toInstrument));
    std::thread checkB(CheckArrivals, std::ref(toHost));

    // A sample may catch the window between the two halves of one pair; more than
    // that is out of step.
    int nSamples = 0, nOutOfStep = 0, nMaxRows = 0, nUnanswered = 0, nWorstGap = 0;
    while (toInstrument.bSending || toHost.bSending) {
        ::Sleep(1000);
        int nLeft = 0, nRight = 0;
        if (!SampleCounts(hMain, nLeft, nRight)) {
            ++nUnanswered;
            continue;
        }
        ++nSamples;
        const int nGap = std::abs(nLeft - nRight);
        nWorstGap = std::max(nWorstGap, nGap);
        if (!IsInStep(nLeft, nRight))
            ++nOutOfStep;
        nMaxRows = std::max(nMaxRows, std::max(nLeft, nRight));
    }
    sendA.join();
    sendB.join();
    checkA.join();
    checkB.join();
    // Quiet line: once the window has taken the last rows (both counts still for a
    // second), both views must agree exactly.
    int nLeft = -1, nRight = -1;
    for (int nStill = 0, nTry = 0; nStill < 5 && nTry < 300; ++nTry) {
        ::Sleep(200);
        const int nLeftNow = GetCount(hMain, ID_LEFT_VIEW), nRightNow = GetCount(hMain, ID_RIGHT_VIEW);
        nStill = nLeftNow == nLeft && nRightNow == nRight ? nStill + 1 : 0;
        nLeft = nLeftNow;
        nRight = nRightNow;
    }
    if (nLeft != nRight)
        ++nOutOfStep;
    nMaxRows = std::max(nMaxRows, std::max(nLeft, nRight));
    const SIZE_T nPeak = hProcess != NULL ? GetPeakWorkingSet(hProcess) : 0;
    const bool bRunning = app.IsRunning();

    unsigned long long nLost = 0, nWrong = 0;
    for (TDirection* pDir : {&toInstrument, &toHost}) {
        std::printf("bytes sent %s: %llu bytes\n", pDir->pszName, pDir->nSent.load());
        std::printf("bytes relayed %s: %llu bytes\n", pDir->pszName, pDir->nReceived.load());
        nLost += pDir->nSent > pDir->nReceived ? pDir->nSent - pDir->nReceived : 0;
        nWrong += pDir->nWrong + (pDir->nReceived > pDir->nSent ? pDir->nReceived - pDir->nSent : 0);
    }
    std::printf("duration: %lu s\n", dwSeconds);
    std::printf("rows in the left view at the end: %d rows\n", nLeft);
    std::printf("rows in the right view at the end: %d rows\n", nRight);
    std::printf("most rows in a view: %d rows\n", nMaxRows);
    std::printf("view samples: %d samples\n", nSamples);
    std::printf("views out of step: %d samples\n", nOutOfStep);
    std::printf("largest gap between the views: %d rows\n", nWorstGap);
    std::printf("samples without a quiet moment: %d samples\n", nUnanswered);
    std::printf("peak working set: %lu KiB\n", static_cast<unsigned long>(nPeak / 1024));
    std::printf("bytes lost: %llu bytes\n", nLost);
    std::printf("bytes wrong, duplicated or out of order: %llu bytes\n", nWrong);
    std::printf("program still running: %d\n", bRunning ? 1 : 0);
    if (bPaced) {
        std::printf("soak_paced_bytes_each_way: %llu bytes\n",
                    std::min(toInstrument.nReceived.load(), toHost.nReceived.load()));
        std::printf("soak_paced_lost: %llu bytes\n", nLost);
        std::printf("soak_paced_out_of_step: %d samples\n", nOutOfStep);
        std::printf("soak_paced_peak_working_set: %.1f MiB\n", nPeak / 1048576.0);
    }

    if (hProcess != NULL)
        ::CloseHandle(hProcess);
    if (bRunning)
        app.Quit(hMain);
    const bool bOk = nLost == 0 && nWrong == 0 && nOutOfStep == 0 && nMaxRows <= MAX_ROWS && bRunning;
    return bOk ? 0 : 1;
}
