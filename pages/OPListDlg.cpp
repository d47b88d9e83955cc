#include "pages/OPListDlg.h"

#include "resources/DialogTemplates.h"

#include <QKeyEvent>

COPListDlg::COPListDlg(QWidget* parent) : CDialog(IDD_OPLIST, parent) {}

bool COPListDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    return false;
}

void COPListDlg::ApplyLanguage(const QString& strLanguage) {
    m_Language.SetLanguage(strLanguage);
    m_Language.TranslateDialog(this, IDD_OPLIST);
}

bool COPListDlg::PreTranslateMessage(QObject* target, QKeyEvent* e) {
    // Esc would otherwise reach the dialog and end it.
    if (e->type() == QEvent::KeyPress && e->key() == Qt::Key_Escape)
        return true;
    return CDialog::PreTranslateMessage(target, e);
}

void COPListDlg::OnOK() {}
