#pragma once

// CAboutDlg: the About box (dialog 100), translated when it opens with the catalogue it is given
// (the main window's). OK and Esc close it.

#include "platform/Dialog.h"

class CMultiLanguage;

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    // The catalogue must outlive the box.
    explicit CAboutDlg(CMultiLanguage& language, QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;

private:
    CMultiLanguage& m_Language;
};
