#pragma once

// COPListDlg: the navigation pane on the left of the main window (child dialog 135). It holds the
// navigation bar with the folders "Read|Write", "Mass Production", "Language" and "About" and
// turns the bar's notifications into actions of the main window: opening a folder switches the
// page, an item chooses the read format, switches the language or opens the About box. It follows
// the language like the other windows; Esc and Enter never close it.

#include "language/MultiLanguage.h"
#include "outbar/GfxOutBarCtrl.h"
#include "platform/Dialog.h"
#include "platform/ImageList.h"

#include <QFrame>

class CPageHost;

// Control id of the navigation bar.
constexpr int IDC_OUTBAR = 2024;

// Folders of the navigation bar, by index.
constexpr int FOLDER_READWRITE = 0;
constexpr int FOLDER_MASSPRODUCTION = 1;
constexpr int FOLDER_LANGUAGE = 2;
constexpr int FOLDER_ABOUT = 3;

// Program-wide flags, set when the program starts and each cleared once:
// the next folder change of the bar is the one of the pane's own initial selection, and is ignored;
extern bool g_bSkipNextFolderChange;
// the next ApplyLanguage fills the Language folder with the language list.
extern bool g_bLanguageFolderNotFilled;

class COPListDlg : public CDialog, public CGfxOutBarOwner {
    Q_OBJECT
public:
    explicit COPListDlg(QWidget* parent = nullptr);

    // Fills the Language folder on the first call, makes the named language current on the
    // pane's own catalogue (empty: the stored one), translates the pane as dialog 135 and
    // relabels the folders, the read-format items and the bar's context menu.
    void ApplyLanguage(const QString& strLanguage);

    // The bar's notifications; every code is answered with 1.
    qintptr OnBarNotify(quintptr wParam, qintptr lParam) override;

    bool PreTranslateMessage(QObject* target, QKeyEvent* e) override;

    // The bar has no frame of its own: it sits inside this sunken one-pixel edge.
    QFrame m_wndBarEdge;
    CGfxOutBarCtrl m_wndOutBar;
    CImageList m_ImageLarge;
    CImageList m_ImageSmall;
    CMultiLanguage m_Language;
    // The window that holds the pane; set by it right after the pane is created.
    CPageHost* m_pMainDlg = nullptr;

protected:
    bool OnInitDialog() override;
    // Enter on the pane does nothing.
    void OnOK() override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void CreateBar(const QRect& rect);
    void AddFoldersAndItems();
    void FillLanguageFolder();
    void OnItemClicked(int nItem);
    void OnFolderChanged(int nFolder);

    bool m_bBarCreated = false;
};
