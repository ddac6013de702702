// Ctrl+C in a log view while another process holds the clipboard open.
#include "tests/reliability/PortRig.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const LPARAM CTRL_C_KEY = 0x2E0001;  // scan code 0x2E, first press
const LPARAM CTRL_A_KEY = 0x1E0001;

std::string ClipboardText()
{
    std::string strText;
    if (!::OpenClipboard(NULL))
        return "<busy>";
    if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
        strText = static_cast<const char*>(::GlobalLock(h));
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return strText;
}

bool PutOnClipboard(const char* pszText)
{
    if (!::OpenClipboard(NULL))
        return false;
    ::EmptyClipboard();
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, std::strlen(pszText) + 1);
    std::strcpy(static_cast<char*>(::GlobalLock(h)), pszText);
    ::GlobalUnlock(h);
    const bool bSet = ::SetClipboardData(CF_TEXT, h) != NULL;
    ::CloseClipboard();
    return bSet;
}

}  // namespace

TEST(ClipboardHoldTest, CopyGivesUpSilentlyAfterHalfASecondAndWorksOnceTheClipboardIsFree)
{
    CMessageBoxCatcher boxes;
    CViewPairHost host;
    ASSERT_TRUE(host.Open());
    host.View(0).PostLine(-1, "row one");
    host.View(0).PostLine(-1, "row two");
    ASSERT_TRUE(PumpUntil([&host] { return host.Count(0) == 2; }, 5000));
    host.View(0).SendMessage(WM_CHAR, 1, CTRL_A_KEY);
    ASSERT_TRUE(PutOnClipboard("before"));

    CHolderProcess holder;
    ASSERT_TRUE(holder.Hold("clip", 20000));
    const DWORD dwStart = ::GetTickCount();
    host.View(0).SendMessage(WM_CHAR, 3, CTRL_C_KEY);
    const DWORD dwTook = ::GetTickCount() - dwStart;
    std::printf("Ctrl+C with the clipboard held: gave up after %lu ms\n", dwTook);
    EXPECT_GE(dwTook, 450u) << "it kept trying for its time-out";
    EXPECT_LT(dwTook, 5000u) << "and then gave up";
    holder.Release();
    EXPECT_TRUE(boxes.GetTexts().empty()) << "no message";
    EXPECT_EQ(ClipboardText(), "before");

    host.View(0).SendMessage(WM_CHAR, 3, CTRL_C_KEY);
    EXPECT_EQ(ClipboardText(), "row one\r\nrow two\r\n");
}
