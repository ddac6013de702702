#include "support/SharedHandle.h"

#include <atomic>

namespace ZEV {

struct CSharedHandle::TBlock
{
    std::atomic<long> nRefs;
    HANDLE h;
};

CSharedHandle::CSharedHandle(HANDLE h) : m_pBlock(nullptr)
{
    if (h != INVALID_HANDLE_VALUE)
        m_pBlock = new TBlock{{1}, h};
}

CSharedHandle::CSharedHandle(const CSharedHandle& other) : m_pBlock(other.m_pBlock)
{
    if (m_pBlock != nullptr)
        m_pBlock->nRefs.fetch_add(1, std::memory_order_relaxed);
}

CSharedHandle& CSharedHandle::operator=(const CSharedHandle& other)
{
    // Take the new reference before dropping the old one: self-assignment is safe.
    TBlock* p = other.m_pBlock;
    if (p != nullptr)
        p->nRefs.fetch_add(1, std::memory_order_relaxed);
    Release();
    m_pBlock = p;
    return *this;
}

HANDLE CSharedHandle::Get() const
{
    return m_pBlock != nullptr ? m_pBlock->h : INVALID_HANDLE_VALUE;
}

long CSharedHandle::GetRefCount() const
{
    return m_pBlock != nullptr ? m_pBlock->nRefs.load() : 0;
}

void CSharedHandle::Release()
{
    TBlock* p = m_pBlock;
    m_pBlock = nullptr;
    if (p == nullptr)
        return;
    if (p->nRefs.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    ::CloseHandle(p->h);
    delete p;
}

} // namespace ZEV
