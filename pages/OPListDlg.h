#pragma once

// COPListDlg: the navigation pane on the left of the main window (child dialog 135). It follows
// the language like the other windows; Esc and Enter never close it.

#include "language/MultiLanguage.h"
#include "platform/Dialog.h"

class CRFIDDlg;

class COPListDlg : public CDialog {
    Q_OBJECT
public:
    explicit COPListDlg(QWidget* parent = nullptr);

    // Makes the named language current on the pane's own catalogue (empty: the stored one) and
    // translates the pane as dialog 135.
    void ApplyLanguage(const QString& strLanguage);

    bool PreTranslateMessage(QObject* target, QKeyEvent* e) override;

    CMultiLanguage m_Language;
    CRFIDDlg* m_pMainDlg = nullptr;

protected:
    bool OnInitDialog() override;
    // Enter on the pane does nothing.
    void OnOK() override;
};
