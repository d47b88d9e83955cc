#include "shell/AboutDlg.h"

#include "language/MultiLanguage.h"
#include "resources/DialogTemplates.h"

CAboutDlg::CAboutDlg(CMultiLanguage& language, QWidget* parent)
    : CDialog(IDD_ABOUTBOX, parent), m_Language(language) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_Language.TranslateDialog(this, IDD_ABOUTBOX);
    return true;
}
