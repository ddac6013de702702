#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/LineListener.h"
#include "tests/sim/SimPortPair.h"

// Listener that writes every call down as a short text: "D0:41" (one byte
// 0x41 on port index 0), "C1:1" (CTS of index 1 on), "S0:0" (DSR of index
// 0 off). A data call that does not carry exactly one byte is written as
// "D0:size=N" so that it shows in any comparison.
class CEventLog : public ILineListener
{
public:
    struct TEvent {
        char chKind;
        int nIndex;
        DWORD dwThreadId;
        std::string strText;
    };

    void OnLineData(int nIndex, DWORD dwSize, const BYTE* pData) override
    {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return !m_bHold; });
        }
        char text[32];
        if (dwSize == 1)
            std::snprintf(text, sizeof(text), "D%d:%02X", nIndex, pData[0]);
        else
            std::snprintf(text, sizeof(text), "D%d:size=%lu", nIndex, dwSize);
        Add('D', nIndex, text);
    }
    void OnCtsChanged(int nIndex, bool bState) override { Add('C', nIndex, Line('C', nIndex, bState)); }
    // "L0:bytes/lines"; a receive time is kept apart, only counted.
    void OnLineLost(int nIndex, DWORD dwBytes, DWORD dwLines) override
    {
        Add('L', nIndex, "L" + std::to_string(nIndex) + ":" + std::to_string(dwBytes) + "/" + std::to_string(dwLines));
    }
    void OnLineTime(int, ULONGLONG qwMicros) override { m_qwLastTime = qwMicros; }
    std::atomic<ULONGLONG> m_qwLastTime{0};

    // While held, the first data call waits (an event thread held up behind the window).
    void Hold(bool bHold)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bHold = bHold;
        m_changed.notify_all();
    }
    void OnDsrChanged(int nIndex, bool bState) override { Add('S', nIndex, Line('S', nIndex, bState)); }
    // "E0:1": line event 1 (LINE_FRAMING_ERROR) on index 0.
    void OnLineEvent(int nIndex, ELineEvent eEvent) override
    {
        Add('E', nIndex, "E" + std::to_string(nIndex) + ":" + std::to_string(eEvent));
    }

    std::vector<TEvent> Events() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

    // Texts of one index (-1: all) and kind (0: all), in the order reported.
    std::vector<std::string> Of(int nIndex, char chKind = 0) const
    {
        std::vector<std::string> texts;
        for (const TEvent& event : Events()) {
            if (Matches(event, nIndex, chKind))
                texts.push_back(event.strText);
        }
        return texts;
    }

    size_t Count(int nIndex, char chKind) const { return Of(nIndex, chKind).size(); }

    // Re-checks pred on every report and at least every 20 ms, so that it
    // may also look at the simulated devices.
    bool WaitFor(const std::function<bool()>& pred, DWORD dwTimeout) const
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwTimeout);
        while (!pred()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::milliseconds(20));
        }
        return true;
    }

    // At least n line reports (CTS or DSR, any index).
    bool WaitForLines(size_t n, DWORD dwTimeout) const
    {
        return WaitFor([&] { return Count(-1, 'C') + Count(-1, 'S') >= n; }, dwTimeout);
    }

private:
    static std::string Line(char chKind, int nIndex, bool bState)
    {
        return std::string(1, chKind) + std::to_string(nIndex) + ":" + (bState ? "1" : "0");
    }

    static bool Matches(const TEvent& event, int nIndex, char chKind)
    {
        return (nIndex < 0 || event.nIndex == nIndex) && (chKind == 0 || event.chKind == chKind);
    }

    void Add(char chKind, int nIndex, const std::string& strText)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(TEvent{chKind, nIndex, GetCurrentThreadId(), strText});
        }
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<TEvent> m_events;
    bool m_bHold = false;
};

// Installed over the simulated pair for its lifetime and passes every call
// on; derived classes look at or act on the calls going by.
class CSimForwarder : public ZEV::ICommDriver
{
public:
    explicit CSimForwarder(CSimPortPair& sim)
        : m_sim(sim)
    {
        m_pPrevious = ZEV::SetCommDriver(this);
    }
    ~CSimForwarder() override { ZEV::SetCommDriver(m_pPrevious); }

    HANDLE OpenPort(const char* name, DWORD dwFlags) override { return m_sim.OpenPort(name, dwFlags); }
    BOOL GetCommState(HANDLE h, DCB* p) override { return m_sim.GetCommState(h, p); }
    BOOL SetCommState(HANDLE h, DCB* p) override { return m_sim.SetCommState(h, p); }
    BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* p) override { return m_sim.GetCommTimeouts(h, p); }
    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* p) override { return m_sim.SetCommTimeouts(h, p); }
    BOOL PurgeComm(HANDLE h, DWORD dw) override { return m_sim.PurgeComm(h, dw); }
    BOOL ClearCommError(HANDLE h, DWORD* pErr, COMSTAT* pStat) override
    {
        return m_sim.ClearCommError(h, pErr, pStat);
    }
    BOOL SetCommMask(HANDLE h, DWORD dw) override { return m_sim.SetCommMask(h, dw); }
    BOOL WaitCommEvent(HANDLE h, DWORD* pMask, OVERLAPPED* pOv) override { return m_sim.WaitCommEvent(h, pMask, pOv); }
    BOOL GetCommModemStatus(HANDLE h, DWORD* p) override { return m_sim.GetCommModemStatus(h, p); }
    BOOL EscapeCommFunction(HANDLE h, DWORD dw) override { return m_sim.EscapeCommFunction(h, dw); }
    BOOL SetCommBreak(HANDLE h) override { return m_sim.SetCommBreak(h); }
    BOOL ClearCommBreak(HANDLE h) override { return m_sim.ClearCommBreak(h); }
    BOOL ReadFile(HANDLE h, void* p, DWORD n, DWORD* pRead, OVERLAPPED* pOv) override
    {
        return m_sim.ReadFile(h, p, n, pRead, pOv);
    }
    BOOL WriteFile(HANDLE h, const void* p, DWORD n, DWORD* pWritten, OVERLAPPED* pOv) override
    {
        return m_sim.WriteFile(h, p, n, pWritten, pOv);
    }
    BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* pOv, DWORD* pCount, BOOL bWait) override
    {
        return m_sim.GetOverlappedResult(h, pOv, pCount, bWait);
    }
    BOOL CancelIoEx(HANDLE h, OVERLAPPED* pOv) override { return m_sim.CancelIoEx(h, pOv); }
    BOOL CloseHandle(HANDLE h) override { return m_sim.CloseHandle(h); }

protected:
    // "1" or "2" for the open handles of the two ports, else "?".
    std::string PortOf(HANDLE h) const
    {
        return h == m_sim.GetOpenHandle(0) ? "1" : h == m_sim.GetOpenHandle(1) ? "2" : "?";
    }

    CSimPortPair& m_sim;

private:
    ZEV::ICommDriver* m_pPrevious;
};

// Writes down the modem status reads and line escapes that one thread (by
// default the creating one) makes, as "status 2" or "escape 1 SETDTR" (port
// numbers 1 and 2).
class CCallRecorder : public CSimForwarder
{
public:
    explicit CCallRecorder(CSimPortPair& sim, DWORD dwThreadId = GetCurrentThreadId())
        : CSimForwarder(sim)
        , m_dwThreadId(dwThreadId)
    {
    }

    std::vector<std::string> Calls() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

    BOOL GetCommModemStatus(HANDLE h, DWORD* p) override
    {
        Record(h, "status", "");
        return m_sim.GetCommModemStatus(h, p);
    }
    BOOL EscapeCommFunction(HANDLE h, DWORD dw) override
    {
        Record(h, "escape", EscapeName(dw));
        return m_sim.EscapeCommFunction(h, dw);
    }

private:
    static std::string EscapeName(DWORD dw)
    {
        switch (dw) {
        case SETRTS: return "SETRTS";
        case CLRRTS: return "CLRRTS";
        case SETDTR: return "SETDTR";
        case CLRDTR: return "CLRDTR";
        default: return std::to_string(dw);
        }
    }

    void Record(HANDLE h, const char* pszCall, const std::string& strArg)
    {
        if (GetCurrentThreadId() != m_dwThreadId)
            return;
        std::string strCall = std::string(pszCall) + " " + PortOf(h);
        if (!strArg.empty())
            strCall += " " + strArg;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(strCall);
    }

    DWORD m_dwThreadId;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// Raises both lines of device 1 at one moment, between two looks of port1's
// receive thread at its lines.
class CLineFlipper : public CSimForwarder
{
public:
    explicit CLineFlipper(CSimPortPair& sim)
        : CSimForwarder(sim)
        , m_nArmed(0)
    {
    }

    void Arm() { InterlockedExchange(&m_nArmed, 1); }
    bool IsDone() const { return m_nArmed == 0; }

    BOOL GetCommModemStatus(HANDLE h, DWORD* pStatus) override
    {
        if (PortOf(h) == "1" && InterlockedCompareExchange(&m_nArmed, 0, 1) == 1) {
            m_sim.SetDeviceRts(0, true);
            m_sim.SetDeviceDtr(0, true);
        }
        return m_sim.GetCommModemStatus(h, pStatus);
    }

private:
    volatile LONG m_nArmed;
};
