#include "framework/Afx.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Answers the dialog as soon as it is up, the way a user would: OK with the
// file name given at construction, or Cancel.
class CAnsweringFileDialog : public CFileDialog
{
public:
    CAnsweringFileDialog(LPCSTR lpszFileName, WPARAM answer)
        : CFileDialog(FALSE, "txt", lpszFileName, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                      "txtファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*||"),
          m_answer(answer)
    {
    }
    BOOL OnInitDialog() override
    {
        m_hInitWindow = m_hWnd;
        m_hSystemDialog = ::GetParent(m_hWnd);
        return CFileDialog::OnInitDialog();
    }
    void OnInitDone() override
    {
        ++m_nInitDone;
        ::PostMessageA(m_hSystemDialog, WM_COMMAND, m_answer, 0);
    }

    WPARAM m_answer;
    HWND m_hInitWindow = NULL;
    HWND m_hSystemDialog = NULL;
    int m_nInitDone = 0;
};

std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    ::GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

} // namespace

TEST(FileDialogTest, FilterBarsInsideDoubleByteCharactersAreNotSeparators)
{
    // "ポ" is 0x83 0x7C in Shift-JIS: its second byte is a bar.
    CFileDialog dlg(FALSE, "log", NULL, OFN_HIDEREADONLY, "ポート (*.log)|*.log||");
    const char expected[] = "ポート (*.log)\0*.log\0\0";
    ASSERT_NE(dlg.m_ofn.lpstrFilter, nullptr);
    EXPECT_EQ(std::string(dlg.m_ofn.lpstrFilter, sizeof expected - 1),
              std::string(expected, sizeof expected - 1));
}

TEST(FileDialogTest, ChosenNameGetsTheDefaultExtension)
{
    std::string path = TempPath("taplinar_file_dialog_test");
    ::DeleteFileA((path + ".txt").c_str());
    CAnsweringFileDialog dlg(path.c_str(), IDOK);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nInitDone, 1);
    EXPECT_NE(dlg.m_hSystemDialog, (HWND)NULL) << "the hook saw the dialog start";
    EXPECT_EQ(dlg.GetPathName(), path + ".txt");
    EXPECT_EQ(dlg.GetFileName(), "taplinar_file_dialog_test.txt");
    EXPECT_EQ(dlg.GetFileExt(), "txt");
    EXPECT_EQ(dlg.m_hWnd, (HWND)NULL) << "nothing stays bound after the dialog";
    EXPECT_EQ(CWnd::FromHandlePermanent(dlg.m_hInitWindow), nullptr);
}

TEST(FileDialogTest, CancelAnswersIdCancel)
{
    CAnsweringFileDialog dlg("", IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_nInitDone, 1);
}
