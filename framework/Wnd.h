#pragma once

#include <windows.h>

#include <string>

class CDataExchange;
class CMenu;

// One window object per window handle. A window is bound to its object either
// by creation through the object (Create, CreateEx, a dialog's Create or
// DoModal) or by SubclassWindow on an existing handle; from then on every
// message goes through the virtual WindowProc, whose default hands the message
// to the On... handlers below and then to the procedure that was there before.
//
// Another subclasser may later put its own procedure on top with
// SetWindowLongPtrW (the skin does); it must restore ours by WM_DESTROY, and we
// restore the saved procedure at WM_NCDESTROY, so the chain unwinds in order.
class CWnd
{
public:
    CWnd();
    virtual ~CWnd();

    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    operator HWND() const { return m_hWnd; }
    // Safe on a null object pointer: answers NULL.
    HWND GetSafeHwnd() const;

    // The object bound to hWnd, or a temporary wrapper (owned by the calling
    // thread, valid until that window is destroyed) when none is bound.
    static CWnd* FromHandle(HWND hWnd);
    // The object bound to hWnd, or NULL.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Binds without subclassing (messages do not reach WindowProc).
    BOOL Attach(HWND hWndNew);
    HWND Detach();

    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    // Fails (NULL) while another procedure sits on top of ours.
    HWND UnsubclassWindow();

    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                        const RECT& rect, CWnd* pParentWnd, UINT nID);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName,
                          DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                          HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = NULL);
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName,
                  DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                  LPVOID lpParam = NULL);
    virtual BOOL DestroyWindow();

    // Message handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The procedure that was there before ours (or DefWindowProcW).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // DefWindowProc with the message being handled right now.
    LRESULT Default();
    // Notifications that a child control's parent received are offered to the
    // control's own object first; TRUE means handled, with *pResult as result.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    BOOL SendChildNotifyLastMsg(LRESULT* pResult = NULL);
    static BOOL ReflectLastMsg(HWND hWndChild, LRESULT* pResult = NULL);
    // The message being handled on this thread.
    static const MSG* GetCurrentMessage();

    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    virtual void PreSubclassWindow();
    virtual void PostNcDestroy();

    // Handlers reached from WindowProc; the defaults do the default handling.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void OnPaint();
    virtual void OnVScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    virtual void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    virtual void OnSysCommand(UINT nID, LPARAM lParam);
    virtual HCURSOR OnQueryDragIcon();
    virtual void OnGetMinMaxInfo(MINMAXINFO* lpMMI);

    // Data exchange (dialogs and their controls).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Thin wrappers. Windows are Unicode windows; texts are Shift-JIS on our side and
    // converted from and to code page 932 on the way.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    { return ::SendMessageW(m_hWnd, message, wParam, lParam); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    { return ::PostMessageW(m_hWnd, message, wParam, lParam); }
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                                  BOOL bDeep = TRUE) const;

    void SetWindowText(LPCSTR lpszString);
    int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(std::string& rString) const;
    static std::string GetWindowTextOf(HWND hWnd);
    // In Shift-JIS bytes.
    int GetWindowTextLength() const;

    CWnd* GetDlgItem(int nID) const;
    void GetDlgItem(int nID, HWND* phWnd) const { *phWnd = ::GetDlgItem(m_hWnd, nID); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void SetDlgItemText(int nID, LPCSTR lpszString);
    int GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const;
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    CWnd* GetTopLevelParent() const;
    CWnd* GetWindow(UINT nCmd) const { return FromHandle(::GetWindow(m_hWnd, nCmd)); }
    static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = NULL)
    { return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

    CMenu* GetMenu() const;
    CMenu* GetSystemMenu(BOOL bRevert) const;
    BOOL SetMenu(CMenu* pMenu);
    void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }

    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
    void ScreenToClient(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }
    void ClientToScreen(LPRECT lpRect) const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE)
    { ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint); }
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const;
    BOOL SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl);

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    BOOL IsChild(const CWnd* pWnd) const { return ::IsChild(m_hWnd, pWnd->GetSafeHwnd()); }

    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, NULL, bErase); }
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, lpRect, bErase); }
    void ValidateRect(LPCRECT lpRect) { ::ValidateRect(m_hWnd, lpRect); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(LPCRECT lpRectUpdate = NULL, HRGN hrgnUpdate = NULL,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    { return ::RedrawWindow(m_hWnd, lpRectUpdate, hrgnUpdate, flags); }
    void SetRedraw(BOOL bRedraw = TRUE) { SendMessage(WM_SETREDRAW, bRedraw, 0); }

    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    { return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon, reinterpret_cast<LPARAM>(hIcon))); }
    HICON GetIcon(BOOL bBigIcon) const
    { return reinterpret_cast<HICON>(SendMessage(WM_GETICON, bBigIcon, 0)); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE)
    { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw); }

    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);

    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = NULL, UINT nType = MB_OK);

    HWND m_hWnd;

protected:
    // A message that carries a text to the window, converted to UTF-16 on the way.
    LRESULT SendText(UINT message, WPARAM wParam, LPCSTR lpszText) const;
    // An item's text by a length message and a text message (LB_GETTEXTLEN and
    // LB_GETTEXT, ...), as Shift-JIS; false when the item does not exist.
    bool ReceiveText(UINT nLengthMessage, UINT nTextMessage, WPARAM nIndex, std::string& rString) const;
    // Copies a text and its NUL into a caller's buffer; its length.
    static int CopyText(const std::string& strText, LPSTR lpszBuffer);

    // The procedure that was in place before SubclassWindow or creation.
    WNDPROC m_pfnSuper;

private:
    friend struct CWndCreateHook;
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);

    LRESULT DispatchToHandlers(UINT message, WPARAM wParam, LPARAM lParam, BOOL* pbHandled);
    static LRESULT CallWndProc(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnNcDestroyed();
    BOOL BindAndSubclass(HWND hWnd);
};

// The window procedure that every bound window gets.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Binds the next window that this thread creates to pWnd, before the window
// gets its first message; used around CreateWindowEx and the dialog creators.
// Each Hook must be matched by an Unhook (which answers whether the window
// was bound).
void AfxHookWindowCreate(CWnd* pWnd);
BOOL AfxUnhookWindowCreate();
