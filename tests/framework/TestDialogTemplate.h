#pragma once

#include <windows.h>

#include <cstring>
#include <vector>

// Builds a dialog template in memory, so GUI tests need no resource script.
// Sizes are dialog units; texts are wide, as the template format wants.
class CTestDialogTemplate
{
public:
    CTestDialogTemplate(DWORD dwStyle, short cx, short cy, const wchar_t* title,
                        const wchar_t* font = L"MS Shell Dlg", WORD nPointSize = 9)
    {
        dwStyle |= DS_SETFONT;
        PutDword(dwStyle);
        PutDword(0);           // extended style
        m_nCountOffset = m_data.size();
        PutWord(0);            // item count, patched by AddItem
        PutWord(10);
        PutWord(10);
        PutWord(cx);
        PutWord(cy);
        PutWord(0);            // no menu
        PutWord(0);            // dialog class
        PutString(title);
        PutWord(nPointSize);
        PutString(font);
    }

    // Predefined classes: 0x80 button, 0x81 edit, 0x82 static, 0x83 list
    // box, 0x84 scroll bar, 0x85 combo box.
    CTestDialogTemplate& AddItem(WORD nClassAtom, WORD nID, DWORD dwStyle, short x, short y,
                                 short cx, short cy, const wchar_t* text = L"")
    {
        Align(4);
        PutDword(dwStyle | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        PutWord(x);
        PutWord(y);
        PutWord(cx);
        PutWord(cy);
        PutWord(nID);
        PutWord(0xFFFF);
        PutWord(nClassAtom);
        PutString(text);
        PutWord(0);            // no creation data
        WORD nCount;
        std::memcpy(&nCount, &m_data[m_nCountOffset], 2);
        ++nCount;
        std::memcpy(&m_data[m_nCountOffset], &nCount, 2);
        return *this;
    }

    LPCDLGTEMPLATEA Get() const { return reinterpret_cast<LPCDLGTEMPLATEA>(m_data.data()); }

private:
    void PutWord(WORD w) { Put(&w, 2); }
    void PutDword(DWORD d) { Put(&d, 4); }
    void PutString(const wchar_t* s)
    {
        do {
            PutWord(static_cast<WORD>(*s));
        } while (*s++ != 0);
    }
    void Put(const void* p, size_t n)
    {
        const BYTE* b = static_cast<const BYTE*>(p);
        m_data.insert(m_data.end(), b, b + n);
    }
    void Align(size_t n)
    {
        while (m_data.size() % n != 0)
            m_data.push_back(0);
    }

    // Heap blocks are DWORD-aligned, as the dialog functions require.
    std::vector<BYTE> m_data;
    size_t m_nCountOffset = 0;
};

// Runs the thread's message queue until it is empty.
inline void PumpMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Runs the message queue until pred() holds or nTimeoutMs pass; answers pred().
template <class TPred>
bool PumpUntil(TPred pred, DWORD nTimeoutMs)
{
    DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start >= nTimeoutMs)
            return pred();
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}
