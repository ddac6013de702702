#pragma once

#include <cstddef>

namespace ZEV {

// Immutable NUL-terminated text shared by reference count. Copies share one
// buffer; the buffer is freed when the last copy goes. The count is atomic, so
// copies may live on different threads.
class CSharedText
{
public:
    CSharedText();
    // Copies text (nullptr is taken as the empty text).
    explicit CSharedText(const char* text);
    CSharedText(const char* text, size_t nLength);
    CSharedText(const CSharedText& other);
    CSharedText(CSharedText&& other) noexcept;
    ~CSharedText();

    CSharedText& operator=(const CSharedText& other);
    CSharedText& operator=(CSharedText&& other) noexcept;

    // Takes ownership of a buffer made by Duplicate (or new char[]) without copying it.
    static CSharedText Adopt(char* buffer);
    // A heap copy of text that Adopt accepts and FreeBuffer releases; for texts
    // handed between threads before they become shared.
    static char* Duplicate(const char* text);
    static void FreeBuffer(char* buffer);

    // Never null: an empty object gives "".
    const char* GetText() const;
    size_t GetLength() const;
    bool IsEmpty() const { return GetLength() == 0; }
    // True when no text is held at all (default-constructed or moved from).
    bool IsNull() const { return m_pBlock == nullptr; }
    long GetRefCount() const;

private:
    struct TBlock;

    void Release();

    TBlock* m_pBlock;
};

bool operator==(const CSharedText& a, const CSharedText& b);
inline bool operator!=(const CSharedText& a, const CSharedText& b) { return !(a == b); }

} // namespace ZEV
