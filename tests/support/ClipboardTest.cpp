#include "support/Clipboard.h"
#include "support/Tick.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using ZEV::CClipboard;

namespace {

std::string ReadClipboardText()
{
    if (!::OpenClipboard(NULL))
        return "<not opened>";
    std::string text = "<no text>";
    HANDLE h = ::GetClipboardData(CF_TEXT);
    const char* p = h != NULL ? static_cast<const char*>(::GlobalLock(h)) : nullptr;
    if (p != nullptr) {
        text = p;
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return text;
}

// Records failures instead of showing a box.
class CRecordingClipboard : public CClipboard
{
public:
    using CClipboard::CClipboard;
    std::vector<std::string> m_messages;

protected:
    void ShowMessage(const char* text) override { m_messages.push_back(text); }
};

// Holds the clipboard open from its own window on another thread, the way
// another program would, until released.
class CClipboardHolder
{
public:
    CClipboardHolder()
    {
        m_thread = std::thread([this] { Run(); });
        while (m_nState.load() == 0)
            ::Sleep(1);
    }

    ~CClipboardHolder()
    {
        m_bRelease = true;
        m_thread.join();
    }

    bool IsHolding() const { return m_nState.load() == 1; }

private:
    void Run()
    {
        HWND hWnd = ::CreateWindowA("STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        bool bOpen = hWnd != NULL && ::OpenClipboard(hWnd);
        m_nState = bOpen ? 1 : 2;
        while (!m_bRelease)
            ::Sleep(5);
        if (bOpen)
            ::CloseClipboard();
        if (hWnd != NULL)
            ::DestroyWindow(hWnd);
    }

    std::thread m_thread;
    std::atomic<int> m_nState{0};
    std::atomic<bool> m_bRelease{false};
};

// Closes any message box of the clipboard helper, so that a wrongly shown box
// fails the test instead of hanging it.
class CBoxWatchdog
{
public:
    CBoxWatchdog() : m_thread([this] { Run(); }) {}
    ~CBoxWatchdog()
    {
        m_bStop = true;
        m_thread.join();
    }
    int GetBoxesSeen() const { return m_nBoxes.load(); }

private:
    void Run()
    {
        while (!m_bStop) {
            HWND hBox = ::FindWindowA(NULL, "ZEV::CClipboard");
            if (hBox != NULL) {
                ++m_nBoxes;
                ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
            }
            ::Sleep(20);
        }
    }

    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nBoxes{0};
    std::thread m_thread;
};

// The clipboard needs an owner window: data set after emptying it without
// one is refused on Windows.
class ClipboardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hWnd = ::CreateWindowA("STATIC", "owner", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        ASSERT_NE(m_hWnd, (HWND)NULL);
    }
    void TearDown() override { ::DestroyWindow(m_hWnd); }

    HWND m_hWnd = NULL;
};

} // namespace

TEST_F(ClipboardTest, TextLandsAsCfText)
{
    CClipboard clipboard(m_hWnd);
    ASSERT_TRUE(clipboard.SetText("00:00:01 ログ\r\nline 2\r\n", false));
    EXPECT_EQ(ReadClipboardText(), "00:00:01 \x83\x8D\x83\x4F\r\nline 2\r\n");
    ASSERT_TRUE(clipboard.SetText("", false));
    EXPECT_EQ(ReadClipboardText(), "");
}

TEST_F(ClipboardTest, AppendKeepsOtherFormatsAndReplaceDropsThem)
{
    UINT nFormat = ::RegisterClipboardFormatA("TaplinarTestFormat");
    ASSERT_NE(nFormat, 0u);
    ASSERT_TRUE(::OpenClipboard(m_hWnd));
    ::EmptyClipboard();
    HGLOBAL hBlock = ::GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(::SetClipboardData(nFormat, hBlock), (HANDLE)NULL);
    ::CloseClipboard();

    CClipboard clipboard(m_hWnd, 500, false);
    ASSERT_TRUE(clipboard.SetText("kept", true));
    EXPECT_TRUE(::IsClipboardFormatAvailable(nFormat));
    EXPECT_EQ(ReadClipboardText(), "kept");

    ASSERT_TRUE(clipboard.SetText("alone", false));
    EXPECT_FALSE(::IsClipboardFormatAvailable(nFormat));
    EXPECT_EQ(ReadClipboardText(), "alone");
}

TEST_F(ClipboardTest, BusyClipboardGivesUpSilentlyAfterTheTimeout)
{
    ASSERT_TRUE(CClipboard(m_hWnd, 500, false).SetText("before", false));
    CBoxWatchdog watchdog;
    {
        CClipboardHolder holder;
        ASSERT_TRUE(holder.IsHolding());
        CClipboard clipboard(m_hWnd, 200, false);
        DWORD dwStart = ZEV::GetTick();
        EXPECT_FALSE(clipboard.SetText("after", false));
        DWORD dwElapsed = ZEV::GetTick() - dwStart;
        EXPECT_GE(dwElapsed, 200u);
        EXPECT_LT(dwElapsed, 20000u);
    }
    EXPECT_EQ(watchdog.GetBoxesSeen(), 0);
    EXPECT_EQ(ReadClipboardText(), "before");
}

TEST_F(ClipboardTest, BusyClipboardReportsWhenAskedTo)
{
    CClipboardHolder holder;
    ASSERT_TRUE(holder.IsHolding());
    CRecordingClipboard clipboard(m_hWnd, 50, true);
    EXPECT_FALSE(clipboard.SetText("x", false));
    ASSERT_EQ(clipboard.m_messages.size(), 1u);
    EXPECT_EQ(clipboard.m_messages[0], "クリップ・ボードが利用できません。");
}
