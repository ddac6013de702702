#include "tests/e2e/TapFixture.h"

namespace {

// Description, version word and file version, an empty line, copyright and company.
const char ABOUT_TEXT[] = "簡易 Taplinar \nVersion 0, 19, 1028, 0\n\nCopyright (C) 2026 Taplinar developers Taplinar project";

}  // namespace

class AboutBoxTest : public CTapFixture
{
protected:
    void ExpectAboutBox()
    {
        HWND hAbout = m_app.WaitDialog(ABOUT_DIALOG);
        ASSERT_NE(nullptr, hAbout);
        EXPECT_EQ(ABOUT_TEXT, GetText(GetDlgItem(hAbout, ID_ABOUT_TEXT)));
        m_app.ClickButton(hAbout, IDOK);
        EXPECT_TRUE(WaitWindowGone(hAbout, 10000));
    }
};

TEST_F(AboutBoxTest, HelpMenuAndSystemMenuShowTheVersionBlock)
{
    HWND hMain = StartAndOpen();
    ASSERT_NE(nullptr, hMain);

    m_app.Command(hMain, CMD_VERSION);
    ExpectAboutBox();
    PostMessageA(hMain, WM_SYSCOMMAND, SYSCMD_ABOUT, 0);
    ExpectAboutBox();

    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_TRUE(m_app.Quit(hMain));
}
