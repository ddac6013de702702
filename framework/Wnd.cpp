#include "framework/Wnd.h"

#include "framework/DataExchange.h"
#include "framework/Menu.h"
#include "framework/WinApp.h"
#include "support/WideText.h"

#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

// Handle -> object map of every bound window of the process. Windows may be
// bound on several threads (tests, worker windows), so it is locked.
class CPermanentMap
{
public:
    CPermanentMap() { ::InitializeCriticalSection(&m_cs); }
    ~CPermanentMap() { ::DeleteCriticalSection(&m_cs); }

    CWnd* Find(HWND hWnd)
    {
        Lock lock(m_cs);
        auto it = m_map.find(hWnd);
        return it != m_map.end() ? it->second : nullptr;
    }

    bool Insert(HWND hWnd, CWnd* pWnd)
    {
        Lock lock(m_cs);
        return m_map.emplace(hWnd, pWnd).second;
    }

    void Remove(HWND hWnd, CWnd* pWnd)
    {
        Lock lock(m_cs);
        auto it = m_map.find(hWnd);
        if (it != m_map.end() && it->second == pWnd)
            m_map.erase(it);
    }

private:
    struct Lock {
        explicit Lock(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
        ~Lock() { ::LeaveCriticalSection(&m_cs); }
        CRITICAL_SECTION& m_cs;
    };

    CRITICAL_SECTION m_cs;
    std::unordered_map<HWND, CWnd*> m_map;
};

CPermanentMap& PermanentMap()
{
    static CPermanentMap map;
    return map;
}

// Wrappers for windows that no object is bound to; they only ever carry the
// handle, so they are dropped once their window has gone.
class CTemporaryWnd : public CWnd
{
public:
    explicit CTemporaryWnd(HWND hWnd) { m_hWnd = hWnd; }
    ~CTemporaryWnd() override { m_hWnd = NULL; }
};

std::map<HWND, std::unique_ptr<CTemporaryWnd>>& TemporaryMap()
{
    thread_local std::map<HWND, std::unique_ptr<CTemporaryWnd>> map;
    return map;
}

void PruneDeadWindows(std::map<HWND, std::unique_ptr<CTemporaryWnd>>& map)
{
    for (auto it = map.begin(); it != map.end();) {
        if (::IsWindow(it->first))
            ++it;
        else
            it = map.erase(it);
    }
}

// The message being handled on this thread, for Default and reflection.
thread_local MSG t_currentMsg = {};

class CCurrentMessage
{
public:
    CCurrentMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) : m_saved(t_currentMsg)
    {
        t_currentMsg.hwnd = hWnd;
        t_currentMsg.message = message;
        t_currentMsg.wParam = wParam;
        t_currentMsg.lParam = lParam;
    }
    ~CCurrentMessage() { t_currentMsg = m_saved; }

private:
    MSG m_saved;
};

WNDPROC CurrentProc(HWND hWnd)
{
    return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
}

bool IsControlColor(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

} // namespace

// Binding of the next created window: a thread hook that sees the window
// before its first message.
struct CWndCreateHook {
    HHOOK hHook = NULL;
    CWnd* pPending = nullptr;

    static LRESULT CALLBACK Proc(int nCode, WPARAM wParam, LPARAM lParam);
};

namespace {
thread_local CWndCreateHook t_createHook;
}

LRESULT CALLBACK CWndCreateHook::Proc(int nCode, WPARAM wParam, LPARAM lParam)
{
    CWndCreateHook& hook = t_createHook;
    HHOOK hHook = hook.hHook;
    if (nCode != HCBT_CREATEWND || hook.pPending == nullptr)
        return ::CallNextHookEx(hHook, nCode, wParam, lParam);
    CWnd* pWnd = hook.pPending;
    hook.pPending = nullptr;
    pWnd->BindAndSubclass(reinterpret_cast<HWND>(wParam));
    // Later hooks (the skin's) run after ours, so their subclass sits on top.
    LRESULT result = ::CallNextHookEx(hHook, nCode, wParam, lParam);
    ::UnhookWindowsHookEx(hHook);
    hook.hHook = NULL;
    return result;
}

void AfxHookWindowCreate(CWnd* pWnd)
{
    CWndCreateHook& hook = t_createHook;
    if (hook.hHook != NULL)
        ::UnhookWindowsHookEx(hook.hHook);
    hook.pPending = pWnd;
    hook.hHook = ::SetWindowsHookExW(WH_CBT, CWndCreateHook::Proc, NULL, ::GetCurrentThreadId());
}

BOOL AfxUnhookWindowCreate()
{
    CWndCreateHook& hook = t_createHook;
    if (hook.hHook != NULL) {
        ::UnhookWindowsHookEx(hook.hHook);
        hook.hHook = NULL;
    }
    BOOL bBound = hook.pPending == nullptr;
    hook.pPending = nullptr;
    return bBound;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return CWnd::CallWndProc(pWnd, hWnd, message, wParam, lParam);
}

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL)
{
}

CWnd::~CWnd()
{
    if (m_hWnd == NULL || FromHandlePermanent(m_hWnd) != this)
        return;
    if (::IsWindow(m_hWnd) && ::GetWindowThreadProcessId(m_hWnd, NULL) == ::GetCurrentThreadId())
        ::DestroyWindow(m_hWnd);
    if (m_hWnd != NULL) {
        PermanentMap().Remove(m_hWnd, this);
        m_hWnd = NULL;
    }
}

__attribute__((optimize("no-delete-null-pointer-checks")))
HWND CWnd::GetSafeHwnd() const
{
    return this == nullptr ? NULL : m_hWnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd != NULL ? PermanentMap().Find(hWnd) : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == NULL)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    auto& map = TemporaryMap();
    auto it = map.find(hWnd);
    if (it != map.end())
        return it->second.get();
    if (map.size() >= 64)
        PruneDeadWindows(map);
    std::unique_ptr<CTemporaryWnd> p(new CTemporaryWnd(hWnd));
    CWnd* pWnd = p.get();
    map.emplace(hWnd, std::move(p));
    return pWnd;
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (hWndNew == NULL || m_hWnd != NULL)
        return FALSE;
    if (!PermanentMap().Insert(hWndNew, this))
        return FALSE;
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != NULL)
        PermanentMap().Remove(hWnd, this);
    m_hWnd = NULL;
    return hWnd;
}

BOOL CWnd::BindAndSubclass(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    WNDPROC pfnOld = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    if (pfnOld == NULL || pfnOld == AfxWndProc) {
        // Either the call failed or the window already ran through us: keep
        // nothing that would loop.
        if (pfnOld == NULL)
            Detach();
        return pfnOld != NULL;
    }
    m_pfnSuper = pfnOld;
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!::IsWindow(hWnd) || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    return BindAndSubclass(hWnd);
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hWnd = ::GetDlgItem(pParent->GetSafeHwnd(), nID);
    return hWnd != NULL && SubclassWindow(hWnd);
}

HWND CWnd::UnsubclassWindow()
{
    if (m_hWnd == NULL || CurrentProc(m_hWnd) != AfxWndProc)
        return NULL;
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = NULL;
    return Detach();
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                    LPVOID lpParam)
{
    if (m_hWnd != NULL)
        return FALSE;
    CREATESTRUCTA cs = {};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = dwStyle;
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    // A class given by its atom stays an atom; names are converted.
    std::wstring strClass = IS_INTRESOURCE(cs.lpszClass) ? std::wstring() : ZEV::ToWide(cs.lpszClass);
    std::wstring strName = ZEV::ToWide(cs.lpszName);
    LPCWSTR pszClass = IS_INTRESOURCE(cs.lpszClass) ? reinterpret_cast<LPCWSTR>(cs.lpszClass) : strClass.c_str();
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateWindowExW(cs.dwExStyle, pszClass, cs.lpszName != nullptr ? strName.c_str() : nullptr,
                                  cs.style, cs.x, cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu,
                                  cs.hInstance, cs.lpCreateParams);
    AfxUnhookWindowCreate();
    return hWnd != NULL && hWnd == m_hWnd;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, pParentWnd->GetSafeHwnd(),
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), lpParam);
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd != NULL && ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::CallWndProc(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CCurrentMessage current(hWnd, message, wParam, lParam);
    LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY && pWnd->m_hWnd == hWnd)
        pWnd->OnNcDestroyed();
    return result;
}

void CWnd::OnNcDestroyed()
{
    HWND hWnd = m_hWnd;
    // Put the saved procedure back only when ours is on top; a procedure that
    // somebody left above ours stays, so their chain is not cut.
    if (m_pfnSuper != NULL && CurrentProc(hWnd) == AfxWndProc)
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    PermanentMap().Remove(hWnd, this);
    m_hWnd = NULL;
    m_pfnSuper = NULL;
    PostNcDestroy();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    CCurrentMessage current(m_hWnd, message, wParam, lParam);
    BOOL bHandled = FALSE;
    LRESULT result = DispatchToHandlers(message, wParam, lParam, &bHandled);
    if (bHandled)
        return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DispatchToHandlers(UINT message, WPARAM wParam, LPARAM lParam, BOOL* pbHandled)
{
    LRESULT result = 0;
    *pbHandled = TRUE;
    switch (message) {
    case WM_COMMAND:
        *pbHandled = OnCommand(wParam, lParam);
        return 0;
    case WM_NOTIFY:
        *pbHandled = OnNotify(wParam, lParam, &result);
        return result;
    case WM_DRAWITEM: {
        auto* p = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        *pbHandled = p->CtlType != ODT_MENU && ReflectLastMsg(p->hwndItem, &result);
        return *pbHandled ? TRUE : 0;
    }
    case WM_MEASUREITEM: {
        auto* p = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        *pbHandled = p->CtlType != ODT_MENU && ReflectLastMsg(::GetDlgItem(m_hWnd, p->CtlID), &result);
        return *pbHandled ? TRUE : 0;
    }
    case WM_DELETEITEM:
        *pbHandled = ReflectLastMsg(reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem, &result);
        return result;
    case WM_COMPAREITEM:
        *pbHandled = ReflectLastMsg(reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem, &result);
        return result;
    case WM_VSCROLL:
    case WM_HSCROLL: {
        HWND hCtl = reinterpret_cast<HWND>(lParam);
        if (hCtl != NULL && ReflectLastMsg(hCtl, &result))
            return result;
        if (message == WM_VSCROLL)
            OnVScroll(LOWORD(wParam), HIWORD(wParam), FromHandle(hCtl));
        else
            OnHScroll(LOWORD(wParam), HIWORD(wParam), FromHandle(hCtl));
        return 0;
    }
    case WM_CREATE:
        return OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam));
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    default:
        break;
    }
    HWND hCtl = reinterpret_cast<HWND>(lParam);
    if (IsControlColor(message) && hCtl != m_hWnd && ReflectLastMsg(hCtl, &result))
        return result;
    *pbHandled = FALSE;
    return 0;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != NULL)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& msg = t_currentMsg;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

const MSG* CWnd::GetCurrentMessage()
{
    return &t_currentMsg;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::SendChildNotifyLastMsg(LRESULT* pResult)
{
    LRESULT result = 0;
    const MSG& msg = t_currentMsg;
    BOOL bHandled = OnChildNotify(msg.message, msg.wParam, msg.lParam, &result);
    if (pResult != nullptr)
        *pResult = result;
    return bHandled;
}

BOOL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult)
{
    CWnd* pWnd = FromHandlePermanent(hWndChild);
    return pWnd != nullptr && pWnd->SendChildNotifyLastMsg(pResult);
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA&)
{
    return TRUE;
}

void CWnd::PreSubclassWindow()
{
}

void CWnd::PostNcDestroy()
{
}

BOOL CWnd::OnCommand(WPARAM, LPARAM lParam)
{
    // A control's notification goes to the control's own object first.
    return lParam != 0 && ReflectLastMsg(reinterpret_cast<HWND>(lParam));
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    return pHdr != nullptr && ReflectLastMsg(pHdr->hwndFrom, pResult);
}

int CWnd::OnCreate(LPCREATESTRUCTW)
{
    return static_cast<int>(Default());
}

void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnVScroll(UINT, UINT, CWnd*) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CWnd*) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) const
{
    for (HWND h = ::GetTopWindow(m_hWnd); h != NULL; h = ::GetWindow(h, GW_HWNDNEXT)) {
        ::SendMessageW(h, message, wParam, lParam);
        if (bDeep && ::GetTopWindow(h) != NULL)
            FromHandle(h)->SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
}

void CWnd::SetWindowText(LPCSTR lpszString)
{
    ::SetWindowTextW(m_hWnd, ZEV::ToWide(lpszString).c_str());
}

int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const
{
    if (nMaxCount <= 0)
        return 0;
    std::string strText;
    GetWindowText(strText);
    // Cut on a character boundary, as the system's own conversion would.
    size_t n = 0;
    while (n < strText.size()) {
        size_t nNext = n + (::IsDBCSLeadByteEx(ZEV::SJIS_CODE_PAGE, static_cast<BYTE>(strText[n])) ? 2 : 1);
        if (nNext > static_cast<size_t>(nMaxCount - 1))
            break;
        n = nNext;
    }
    std::memcpy(lpszStringBuf, strText.data(), n);
    lpszStringBuf[n] = '\0';
    return static_cast<int>(n);
}

void CWnd::GetWindowText(std::string& rString) const
{
    rString = GetWindowTextOf(m_hWnd);
}

std::string CWnd::GetWindowTextOf(HWND hWnd)
{
    int nLength = ::GetWindowTextLengthW(hWnd);
    std::vector<wchar_t> buffer(nLength + 1);
    int n = ::GetWindowTextW(hWnd, buffer.data(), nLength + 1);
    return ZEV::FromWide(buffer.data(), n > 0 ? n : 0);
}

int CWnd::GetWindowTextLength() const
{
    std::string strText;
    GetWindowText(strText);
    return static_cast<int>(strText.size());
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString)
{
    ::SetDlgItemTextW(m_hWnd, nID, ZEV::ToWide(lpszString).c_str());
}

int CWnd::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID))->GetWindowText(lpStr, nMaxCount);
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

CWnd* CWnd::GetTopLevelParent() const
{
    return FromHandle(::GetAncestor(m_hWnd, GA_ROOT));
}

CMenu* CWnd::GetMenu() const
{
    return CMenu::FromHandle(::GetMenu(m_hWnd));
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

BOOL CWnd::SetMenu(CMenu* pMenu)
{
    return ::SetMenu(m_hWnd, pMenu->GetSafeHmenu());
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(lpRect));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(lpRect) + 1);
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(lpRect));
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(lpRect) + 1);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    ::MoveWindow(m_hWnd, lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                 lpRect->bottom - lpRect->top, bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    return ::SetWindowPos(m_hWnd, pWndInsertAfter->GetSafeHwnd(), x, y, cx, cy, nFlags);
}

BOOL CWnd::GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const
{
    lpwndpl->length = sizeof(WINDOWPLACEMENT);
    return ::GetWindowPlacement(m_hWnd, lpwndpl);
}

BOOL CWnd::SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl)
{
    WINDOWPLACEMENT wp = *lpwndpl;
    wp.length = sizeof(WINDOWPLACEMENT);
    return ::SetWindowPlacement(m_hWnd, &wp);
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD dwStyle = GetStyle();
    DWORD dwNew = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNew)
        return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(dwNew));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD dwStyle = GetExStyle();
    DWORD dwNew = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNew)
        return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, static_cast<LONG>(dwNew));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType)
{
    return ::MessageBoxW(m_hWnd, ZEV::ToWide(lpszText).c_str(),
                         ZEV::ToWide(lpszCaption != nullptr ? lpszCaption : AfxGetAppName()).c_str(), nType);
}

LRESULT CWnd::SendText(UINT message, WPARAM wParam, LPCSTR lpszText) const
{
    std::wstring strWide = ZEV::ToWide(lpszText);
    return ::SendMessageW(m_hWnd, message, wParam, reinterpret_cast<LPARAM>(strWide.c_str()));
}

bool CWnd::ReceiveText(UINT nLengthMessage, UINT nTextMessage, WPARAM nIndex, std::string& rString) const
{
    rString.clear();
    LRESULT nLength = ::SendMessageW(m_hWnd, nLengthMessage, nIndex, 0);
    if (nLength < 0)
        return false;
    std::vector<wchar_t> buffer(static_cast<size_t>(nLength) + 1);
    LRESULT n = ::SendMessageW(m_hWnd, nTextMessage, nIndex, reinterpret_cast<LPARAM>(buffer.data()));
    if (n < 0)
        return false;
    rString = ZEV::FromWide(buffer.data(), static_cast<int>(n));
    return true;
}

int CWnd::CopyText(const std::string& strText, LPSTR lpszBuffer)
{
    std::memcpy(lpszBuffer, strText.c_str(), strText.size() + 1);
    return static_cast<int>(strText.size());
}
