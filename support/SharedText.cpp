#include "support/SharedText.h"

#include <atomic>
#include <cstring>

namespace ZEV {

struct CSharedText::TBlock
{
    std::atomic<long> nRefs;
    size_t nLength;
    char* pText;
};

namespace {

char* CopyOf(const char* text, size_t nLength)
{
    char* p = new char[nLength + 1];
    if (nLength != 0)
        std::memcpy(p, text, nLength);
    p[nLength] = '\0';
    return p;
}

} // namespace

CSharedText::CSharedText() : m_pBlock(nullptr)
{
}

CSharedText::CSharedText(const char* text)
    : CSharedText(text, text != nullptr ? std::strlen(text) : 0)
{
}

CSharedText::CSharedText(const char* text, size_t nLength) : m_pBlock(nullptr)
{
    if (text == nullptr)
        nLength = 0;
    char* p = CopyOf(text, nLength);
    m_pBlock = new TBlock{{1}, nLength, p};
}

CSharedText::CSharedText(const CSharedText& other) : m_pBlock(other.m_pBlock)
{
    if (m_pBlock != nullptr)
        m_pBlock->nRefs.fetch_add(1, std::memory_order_relaxed);
}

CSharedText::CSharedText(CSharedText&& other) noexcept : m_pBlock(other.m_pBlock)
{
    other.m_pBlock = nullptr;
}

CSharedText::~CSharedText()
{
    Release();
}

CSharedText& CSharedText::operator=(const CSharedText& other)
{
    // Take the new reference before dropping the old one: self-assignment is safe.
    TBlock* p = other.m_pBlock;
    if (p != nullptr)
        p->nRefs.fetch_add(1, std::memory_order_relaxed);
    Release();
    m_pBlock = p;
    return *this;
}

CSharedText& CSharedText::operator=(CSharedText&& other) noexcept
{
    if (this == &other)
        return *this;
    Release();
    m_pBlock = other.m_pBlock;
    other.m_pBlock = nullptr;
    return *this;
}

CSharedText CSharedText::Adopt(char* buffer)
{
    if (buffer == nullptr)
        return CSharedText("");
    CSharedText text;
    text.m_pBlock = new TBlock{{1}, std::strlen(buffer), buffer};
    return text;
}

char* CSharedText::Duplicate(const char* text)
{
    return CopyOf(text != nullptr ? text : "", text != nullptr ? std::strlen(text) : 0);
}

void CSharedText::FreeBuffer(char* buffer)
{
    delete[] buffer;
}

const char* CSharedText::GetText() const
{
    return m_pBlock != nullptr ? m_pBlock->pText : "";
}

size_t CSharedText::GetLength() const
{
    return m_pBlock != nullptr ? m_pBlock->nLength : 0;
}

long CSharedText::GetRefCount() const
{
    return m_pBlock != nullptr ? m_pBlock->nRefs.load() : 0;
}

void CSharedText::Release()
{
    TBlock* p = m_pBlock;
    m_pBlock = nullptr;
    if (p == nullptr)
        return;
    if (p->nRefs.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    delete[] p->pText;
    delete p;
}

bool operator==(const CSharedText& a, const CSharedText& b)
{
    return a.GetLength() == b.GetLength()
        && std::memcmp(a.GetText(), b.GetText(), a.GetLength()) == 0;
}

} // namespace ZEV
