#pragma once

#include "language/MultiLanguage.h"
#include "platform/Dialog.h"
#include "cards/NumberForms.h"

#include <QFont>
#include <QString>

#include <array>

class CPageHost;
class QLineEdit;
class QPushButton;

// The Read/Write page (dialog 136): reads the identifier of the card on the reader into edit
// 1002 and writes the identifier typed into edit 1003. Results go to the host's log.
class COPMainDlg : public CDialog {
    Q_OBJECT
public:
    enum { IDD = 136 };
    enum {
        IDC_BUTTON_READ = 1000,
        IDC_BUTTON_WRITE = 1001,
        IDC_EDIT_READ = 1002,
        IDC_EDIT_WRITE = 1003,
    };

    explicit COPMainDlg(QWidget* parent = nullptr);

    // Switches the page's own catalogue to strLanguage and translates the page as dialog 136.
    void ApplyLanguage(const QString& strLanguage);

    void OnRead();
    void OnWrite();

    bool PreTranslateMessage(QObject* target, QKeyEvent* e) override;

    // Exchanges the edit texts with m_strRead and m_strWrite: from the controls into the members
    // when bSaveAndValidate is true, the other way round otherwise.
    void UpdateData(bool bSaveAndValidate = true);

    QFont m_font;
    // 1: reads give the whole identifier and the log shows its vendor and card parts;
    // 0: reads give the card number alone. Set by the navigation pane.
    int m_bIncludeVendor = 1;
    CMultiLanguage m_Language;
    // The window that holds the page; set by it right after the page is created.
    CPageHost* m_pMainDlg = nullptr;
    // The printed forms a good read adds on a line of their own (File > Number Forms); none at first.
    NumberFormSet m_nNumberForms = 0;
    QString m_strRead;
    QString m_strWrite;
    QLineEdit* m_editRead = nullptr;
    QLineEdit* m_editWrite = nullptr;
    QPushButton* m_btnRead = nullptr;
    QPushButton* m_btnWrite = nullptr;

protected:
    bool OnInitDialog() override;
    void OnCommand(int nID) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void DoDataExchange(bool bSaveAndValidate);
    // The two fields and the two buttons, in the order of the template.
    std::array<QWidget*, 4> Controls() const;
    void CenterControls();
};
