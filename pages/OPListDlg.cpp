#include "pages/OPListDlg.h"

#include "pages/PageHost.h"
#include "resources/DialogTemplates.h"

#include <QKeyEvent>

bool g_bSkipNextFolderChange = true;
bool g_bLanguageFolderNotFilled = true;

namespace {

// Large icons, slide animation and the frame around the clicked item; no renaming, removing or
// dragging.
constexpr quint32 kBarStyle = BarStyleAnimateFolders | BarStyleSelectedFrame;
constexpr int kSlidePauseMs = 10;
constexpr int kJiggleTimer = 3;
constexpr int kJigglePeriodMs = 200;
constexpr int kClickAnimation = 200;
const QColor kMaskColor(255, 0, 255);

// Image indexes in both strips.
constexpr int IMAGE_ALLNUMBER = 0;
constexpr int IMAGE_ONLYCARDNO = 1;
constexpr int IMAGE_MP_ALLNUMBER = 2;
constexpr int IMAGE_LANGUAGE = 3;
constexpr int IMAGE_ABOUT = 4;

const QString kSpecialSection = QStringLiteral("SPECIAL_STRING");
const QString kAllNumberLabel = QStringLiteral("All number\n[Include Vendor ID]");
const QString kMakerAddress = QStringLiteral("www.tagwell.com");

} // namespace

COPListDlg::COPListDlg(QWidget* parent) : CDialog(IDD_OPLIST, parent) {
    m_wndBarEdge.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_wndBarEdge.setLineWidth(1);
}

bool COPListDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    QRect rect = GetClientRect();
    rect.setHeight(rect.height() / 2);
    m_wndOutBar.SetBarStyle(kBarStyle);
    CreateBar(rect);

    m_ImageLarge.Create(48, 48);
    m_ImageLarge.AddFromFile(QStringLiteral(":/bitmaps/134.png"), kMaskColor);
    m_ImageSmall.Create(16, 16);
    m_ImageSmall.AddFromFile(QStringLiteral(":/bitmaps/132.png"), kMaskColor);
    m_wndOutBar.SetLargeImageList(&m_ImageLarge);
    m_wndOutBar.SetSmallImageList(&m_ImageSmall);
    m_wndOutBar.SetAnimationTicks(kSlidePauseMs);

    m_wndOutBar.SetTimer(kJiggleTimer, kJigglePeriodMs);
    m_wndOutBar.ClickAnimation = kClickAnimation;

    AddFoldersAndItems();
    // The bar starts with folder 1 current: this slides to folder 0, and the folder change it
    // reports is swallowed by the skip flag.
    m_wndOutBar.SelectFolder(FOLDER_READWRITE);
    return false;
}

void COPListDlg::CreateBar(const QRect& rect) {
    m_wndBarEdge.setParent(this);
    m_wndBarEdge.setProperty(kControlIdProperty, IDC_OUTBAR);
    m_wndOutBar.setParent(&m_wndBarEdge);
    m_wndBarEdge.setGeometry(rect);
    m_wndOutBar.setGeometry(m_wndBarEdge.contentsRect());
    m_wndOutBar.SetOwner(this);
    m_wndBarEdge.show();
    m_wndOutBar.show();
    m_bBarCreated = true;
}

void COPListDlg::AddFoldersAndItems() {
    m_wndOutBar.AppendFolder(QStringLiteral("Read|Write"), FOLDER_READWRITE);
    m_wndOutBar.AppendFolder(QStringLiteral("Mass Production"), FOLDER_MASSPRODUCTION);
    m_wndOutBar.AppendFolder(QStringLiteral("Language"), FOLDER_LANGUAGE);
    m_wndOutBar.AppendFolder(QStringLiteral("About"), FOLDER_ABOUT);

    m_wndOutBar.GetFolder(FOLDER_READWRITE).InsertItem(0, kAllNumberLabel, IMAGE_ALLNUMBER);
    m_wndOutBar.GetFolder(FOLDER_READWRITE)
        .InsertItem(1, QStringLiteral("Only card number"), IMAGE_ONLYCARDNO);
    m_wndOutBar.GetFolder(FOLDER_MASSPRODUCTION).InsertItem(0, kAllNumberLabel, IMAGE_MP_ALLNUMBER);
    m_wndOutBar.GetFolder(FOLDER_ABOUT).InsertItem(0, kMakerAddress, IMAGE_ABOUT);
}

void COPListDlg::resizeEvent(QResizeEvent* e) {
    CDialog::resizeEvent(e);
    if (!m_bBarCreated)
        return;
    // One pixel more in each direction: the edge's right and bottom lines fall outside the pane.
    const QRect client = GetClientRect();
    m_wndBarEdge.setGeometry(client.left(), client.top(), client.width() + 1, client.height() + 1);
    m_wndOutBar.setGeometry(m_wndBarEdge.contentsRect());
}

qintptr COPListDlg::OnBarNotify(quintptr wParam, qintptr lParam) {
    switch (wParam) {
    case BarNotifyItemClicked:
        OnItemClicked(int(lParam));
        break;
    case BarNotifyFolderChanged:
        OnFolderChanged(int(lParam));
        break;
    default:
        break;
    }
    return 1;
}

void COPListDlg::OnItemClicked(int nItem) {
    // Until the main window has connected the pane there is no one to act on.
    if (!m_pMainDlg)
        return;
    const int nFolder = m_wndOutBar.GetCurrentFolder();
    // Commands are posted, so they run once the bar has finished handling the click.
    if (nFolder == FOLDER_ABOUT && nItem == 0)
        m_pMainDlg->PostCommand(ID_MENU_ABOUT);
    else if (nFolder == FOLDER_LANGUAGE)
        m_pMainDlg->PostCommand(ID_LANGUAGE_FIRST + nItem);
    else if (nFolder == FOLDER_READWRITE)
        m_pMainDlg->SetReadFormat(nItem == 0 ? 1 : 0);
}

void COPListDlg::OnFolderChanged(int nFolder) {
    if (g_bSkipNextFolderChange) {
        g_bSkipNextFolderChange = false;
        return;
    }
    if (m_pMainDlg)
        m_pMainDlg->ShowPage(nFolder);
}

void COPListDlg::ApplyLanguage(const QString& strLanguage) {
    if (m_bBarCreated && g_bLanguageFolderNotFilled) {
        g_bLanguageFolderNotFilled = false;
        FillLanguageFolder();
    }

    m_Language.SetLanguage(strLanguage);
    m_Language.TranslateDialog(this, IDD_OPLIST);
    if (!m_bBarCreated)
        return;

    auto special = [this](const QString& key) { return m_Language.GetSpecialString(kSpecialSection, key); };
    // Folder and item labels are set even when the language file lacks them.
    for (int i = 0; i < m_wndOutBar.GetFolderCount(); ++i)
        m_wndOutBar.SetFolderText(i, special(QStringLiteral("IDS_FOLDER%1").arg(i)));
    m_wndOutBar.SetItemText(FOLDER_READWRITE, 0, special(QStringLiteral("IDS_ALLNUMBER")));
    m_wndOutBar.SetItemText(FOLDER_READWRITE, 1, special(QStringLiteral("IDS_ONLYCARDNO")));
    m_wndOutBar.SetItemText(FOLDER_MASSPRODUCTION, 0, special(QStringLiteral("IDS_ALLNUMBER")));
    m_wndOutBar.InvalidateAll();

    m_wndOutBar.SmallIconsLabel = special(QStringLiteral("IDS_SMALLICON"));
    m_wndOutBar.LargeIconsLabel = special(QStringLiteral("IDS_ICON"));
}

void COPListDlg::FillLanguageFolder() {
    QStringList languages;
    m_Language.GetLanguageList(languages);
    CGfxOutBarCtrl::CBarFolder& folder = m_wndOutBar.GetFolder(FOLDER_LANGUAGE);
    // The folder's items and the Language menu come from the same list in the same order, so
    // item i stands for language command ID_LANGUAGE_FIRST + i.
    if (languages.isEmpty())
        folder.InsertItem(0, QStringLiteral("Language"), IMAGE_LANGUAGE);
    for (int i = 0; i < languages.size(); ++i)
        folder.InsertItem(i, languages.at(i), IMAGE_LANGUAGE);
}

bool COPListDlg::PreTranslateMessage(QObject* target, QKeyEvent* e) {
    // Esc would otherwise reach the dialog and end it.
    if (e->type() == QEvent::KeyPress && e->key() == Qt::Key_Escape)
        return true;
    return CDialog::PreTranslateMessage(target, e);
}

void COPListDlg::OnOK() {}
