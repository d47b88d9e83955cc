#pragma once

// CAboutDlg: the About box (dialog 100), translated with the main window's catalogue when it
// opens. OK and Esc close it.

#include "platform/Dialog.h"

class CRFIDDlg;

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    CRFIDDlg* m_pMainDlg = nullptr;

protected:
    bool OnInitDialog() override;
};
