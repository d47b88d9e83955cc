#include "shell/AboutDlg.h"

#include "resources/DialogTemplates.h"
#include "shell/RFIDDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent) {}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_pMainDlg)
        m_pMainDlg->m_Language.TranslateDialog(this, IDD_ABOUTBOX);
    return true;
}
