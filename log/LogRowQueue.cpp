#include "log/LogRowQueue.h"

#include "log/LogListBox.h"

CLogRowQueue::CLogRowQueue() : m_pView{nullptr, nullptr}, m_nLimit(100000), m_bTold(false)
{
}

void CLogRowQueue::SetView(int nColumn, CLogListBox* pView)
{
    if (nColumn != 0 && nColumn != 1)
        return;
    ZEV::CSyncLock lock(m_lock);
    m_pView[nColumn] = pView;
}

void CLogRowQueue::SetLimit(int nPairs)
{
    ZEV::CSyncLock lock(m_lock);
    m_nLimit = nPairs > 0 ? static_cast<size_t>(nPairs) : 0;
    while (m_pairs.size() > m_nLimit)
        m_pairs.pop_front();
}

bool CLogRowQueue::Add(TLogRowPair&& pair, EMode eMode)
{
    ZEV::CSyncLock lock(m_lock);
    m_pairs.push_back(std::move(pair));
    if (eMode == QUEUE_SILENT || TellLocked()) {
        if (m_pairs.size() > m_nLimit)
            m_pairs.pop_front();
        return m_bTold;
    }
    // Nothing else can have come in between: the lock is still held.
    if (eMode == QUEUE_OR_REFUSE)
        m_pairs.pop_back();
    else if (m_pairs.size() > m_nLimit)
        m_pairs.pop_front();
    return false;
}

bool CLogRowQueue::Notify()
{
    ZEV::CSyncLock lock(m_lock);
    return m_pairs.empty() || TellLocked();
}

bool CLogRowQueue::TellLocked()
{
    if (m_bTold)
        return true;
    const HWND hWnd = GetLeadWindow();
    m_bTold = hWnd != NULL && ::PostMessageA(hWnd, WM_POSTLINE, static_cast<WPARAM>(-1), 0);
    return m_bTold;
}

HWND CLogRowQueue::GetLeadWindow() const
{
    for (CLogListBox* pView : m_pView)
        if (pView != nullptr && pView->m_hWnd != NULL)
            return pView->m_hWnd;
    return NULL;
}

int CLogRowQueue::GetCount()
{
    ZEV::CSyncLock lock(m_lock);
    return static_cast<int>(m_pairs.size());
}

void CLogRowQueue::TakeAll(std::deque<TLogRowPair>& pairs, CLogListBox* views[2])
{
    ZEV::CSyncLock lock(m_lock);
    pairs.swap(m_pairs);
    m_pairs.clear();
    m_bTold = false;
    views[0] = m_pView[0];
    views[1] = m_pView[1];
}

void CLogRowQueue::DropColumn(int nColumn)
{
    if (nColumn != 0 && nColumn != 1)
        return;
    ZEV::CSyncLock lock(m_lock);
    std::deque<TLogRowPair> kept;
    for (TLogRowPair& pair : m_pairs) {
        pair.row[nColumn] = ZEV::CSharedText();
        if (!pair.row[1 - nColumn].IsNull())
            kept.push_back(std::move(pair));
    }
    m_pairs.swap(kept);
    // A notice on its way to a closing window goes with it.
    m_bTold = false;
}

void CLogRowQueue::Clear()
{
    ZEV::CSyncLock lock(m_lock);
    m_pairs.clear();
}
