#pragma once

#include <windows.h>

namespace ZEV {

// Reference-counted holder of one Win32 handle. Copies share it; the last one
// to go closes it (INVALID_HANDLE_VALUE is never closed).
class CSharedHandle
{
public:
    CSharedHandle() : m_pBlock(nullptr) {}
    explicit CSharedHandle(HANDLE h);
    CSharedHandle(const CSharedHandle& other);
    ~CSharedHandle() { Release(); }

    CSharedHandle& operator=(const CSharedHandle& other);

    HANDLE Get() const;
    bool IsValid() const { return Get() != INVALID_HANDLE_VALUE; }
    long GetRefCount() const;

private:
    struct TBlock;

    void Release();

    TBlock* m_pBlock;
};

} // namespace ZEV
