#pragma once

#include <windows.h>

#include <string>

namespace ZEV {

// Answer of Send, Receive and GetQueuedSize when the channel failed.
const DWORD INVALID_SIZE = 0xFFFFFFFF;

enum ELinkState {
    LINK_DOWN = 0,   // open, far side absent
    LINK_UP = 1,
    LINK_CLOSED = 2, // not open, or the line state cannot be read
};

// A byte channel. The slot order is fixed: derived classes extend it by
// overriding slots.
class ICommChannel {
public:
    virtual ~ICommChannel() {}

    virtual std::string GetChannelName() const = 0;
    virtual BOOL SetOption(DWORD dwValue) = 0;
    virtual BOOL Open() = 0;
    virtual void Close() = 0;
    virtual BOOL IsOpen() const = 0;
    // The far side is there.
    virtual BOOL IsLinked() const { return IsOpen(); }
    virtual BOOL IsAvailable() const { return IsOpen(); }
    virtual BOOL IsActive() const { return IsOpen(); }
    // Count sent, or INVALID_SIZE.
    virtual DWORD Send(DWORD dwSize, const void* pData) = 0;
    // Count received, or INVALID_SIZE.
    virtual DWORD Receive(DWORD dwSize, void* pBuffer) = 0;
    // Bytes waiting to be received, or INVALID_SIZE.
    virtual DWORD GetQueuedSize() { return INVALID_SIZE; }
    virtual ELinkState CheckLink()
    {
        if (!IsOpen())
            return LINK_CLOSED;
        return IsLinked() ? LINK_UP : LINK_DOWN;
    }
    // Drops what is queued.
    virtual void Purge() {}
};

} // namespace ZEV
