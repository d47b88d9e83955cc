// The navigation pane inside the main window: the bar's folders and items as the operator clicks
// them, and what each click does to the main window.

#include "pages/OPListDlg.h"
#include "resources/DialogTemplates.h"
#include "shell/AboutDlg.h"
#include "pages/MPDlg.h"
#include "pages/OPMainDlg.h"
#include "shell/RFIDDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The main window as the program runs it, noting every command that reaches it.
class CommandRecordingDlg : public CRFIDDlg {
public:
    std::vector<int> commands;

protected:
    void OnCommand(int nID) override {
        commands.push_back(nID);
        CRFIDDlg::OnCommand(nID);
    }
};

QAction* FindCommand(QMenuBar* menuBar, int nID) {
    for (QAction* popup : menuBar->actions())
        for (QAction* item : popup->menu()->actions())
            if (item->data().toInt() == nID)
                return item;
    return nullptr;
}

class NavigationPaneTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_appFolder.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_appFolder.path());
        // Each test is a fresh program start.
        g_bSkipNextFolderChange = true;
        g_bLanguageFolderNotFilled = true;
    }
    void TearDown() override {
        m_dlg.reset();
        CMultiLanguage::SetDefaultAppFolder(QString());
    }

    void OpenWindow() {
        m_dlg = std::make_unique<CommandRecordingDlg>();
        ASSERT_TRUE(m_dlg->CreateTopLevel());
        m_dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
        QCoreApplication::processEvents(); // the posted size message lays the window out
    }

    CGfxOutBarCtrl& Bar() { return m_dlg->NavigationPane().m_wndOutBar; }

    void ClickAt(const BarRect& r) {
        const QPoint centre((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        QTest::mousePress(&Bar(), Qt::LeftButton, {}, centre);
        QTest::mouseRelease(&Bar(), Qt::LeftButton, {}, centre);
    }
    void ClickHeader(int nFolder) {
        BarRect header;
        ASSERT_TRUE(Bar().Geometry().HeaderRect(nFolder, &header));
        ClickAt(header);
        ASSERT_EQ(Bar().GetCurrentFolder(), nFolder);
    }
    void ClickItem(int nItem) { ClickAt(Bar().Geometry().IconRect(Bar().GetCurrentFolder(), nItem)); }

    QStringList Labels(int nFolder) {
        QStringList labels;
        const CGfxOutBarCtrl::CBarFolder& folder = Bar().GetFolder(nFolder);
        for (int i = 0; i < folder.GetItemCount(); ++i)
            labels << folder.GetItem(i)->m_strLabel;
        return labels;
    }
    QStringList Headers() {
        QStringList headers;
        for (int i = 0; i < Bar().GetFolderCount(); ++i)
            headers << Bar().GetFolder(i).m_strName;
        return headers;
    }

    QTemporaryDir m_appFolder;
    std::unique_ptr<CommandRecordingDlg> m_dlg;
};

} // namespace

TEST_F(NavigationPaneTest, StartUpOpensReadWriteAndOnlyTheFirstFolderChangeIsSwallowed) {
    OpenWindow();
    EXPECT_EQ(Bar().GetCurrentFolder(), FOLDER_READWRITE);
    EXPECT_FALSE(g_bSkipNextFolderChange);
    EXPECT_EQ(m_dlg->CurrentPage(), 0);
    EXPECT_EQ(Headers(), (QStringList{"Read|Write", "Mass Production", "Language", "About"}));
    // The stored backslash-n of the English file is a line feed in the label.
    EXPECT_EQ(Labels(FOLDER_READWRITE), (QStringList{"All number\n[Include Vendor ID]", "Only card number"}));
    EXPECT_EQ(Labels(FOLDER_MASSPRODUCTION), (QStringList{"All number\n[Include Vendor ID]"}));
    EXPECT_EQ(Labels(FOLDER_ABOUT), (QStringList{"www.tagwell.com"}));
    EXPECT_EQ(Bar().GetFolder(FOLDER_ABOUT).GetItem(0)->m_nImage, 4);
    EXPECT_EQ(m_dlg->NavigationPane().m_ImageLarge.GetImageCount(), 5);
    EXPECT_EQ(m_dlg->NavigationPane().m_ImageSmall.GetImageCount(), 5);

    // The bar with its edge fills the pane and reaches one pixel beyond it on the right and below.
    const QWidget& edge = m_dlg->NavigationPane().m_wndBarEdge;
    EXPECT_EQ(edge.geometry(), QRect(QPoint(0, 0), m_dlg->NavigationPane().size() + QSize(1, 1)));
    EXPECT_EQ(Bar().geometry(), edge.contentsRect());
    EXPECT_EQ(m_dlg->NavigationPane().GetDlgItem(IDC_OUTBAR), &edge);

    ClickHeader(FOLDER_MASSPRODUCTION);
    EXPECT_EQ(m_dlg->CurrentPage(), 1);
    EXPECT_TRUE(m_dlg->MassProductionPage().isVisible());
    EXPECT_FALSE(m_dlg->ReadWritePage().isVisible());
    ClickHeader(FOLDER_READWRITE);
    EXPECT_EQ(m_dlg->CurrentPage(), 0);
    EXPECT_TRUE(m_dlg->ReadWritePage().isVisible());
}

TEST_F(NavigationPaneTest, MenuCommandsOpenTheBarsFolderAndThePageFollows) {
    OpenWindow();
    FindCommand(m_dlg->GetMenu(), ID_MENU_MASSPRODUCTION)->trigger();
    EXPECT_EQ(Bar().GetCurrentFolder(), FOLDER_MASSPRODUCTION);
    EXPECT_EQ(m_dlg->CurrentPage(), 1);
    EXPECT_TRUE(m_dlg->MassProductionPage().isVisible());

    FindCommand(m_dlg->GetMenu(), ID_MENU_READWRITE)->trigger();
    EXPECT_EQ(Bar().GetCurrentFolder(), FOLDER_READWRITE);
    EXPECT_EQ(m_dlg->CurrentPage(), 0);
    EXPECT_TRUE(m_dlg->ReadWritePage().isVisible());
}

TEST_F(NavigationPaneTest, ReadWriteItemsChooseTheReadFormatAndTheMassProductionItemDoesNothing) {
    OpenWindow();
    int& includeVendor = m_dlg->ReadWritePage().m_bIncludeVendor;
    ClickItem(1);
    EXPECT_EQ(includeVendor, 0);
    ClickItem(0);
    EXPECT_EQ(includeVendor, 1);
    ClickItem(1);

    ClickHeader(FOLDER_MASSPRODUCTION);
    m_dlg->commands.clear();
    ClickItem(0);
    QTest::qWait(20);
    EXPECT_EQ(includeVendor, 0);
    EXPECT_TRUE(m_dlg->commands.empty());
    EXPECT_EQ(m_dlg->CurrentPage(), 1);
}

TEST_F(NavigationPaneTest, LanguageItemsPostTheLanguageCommandsAndEveryWindowFollows) {
    OpenWindow();
    ClickHeader(FOLDER_LANGUAGE);
    EXPECT_EQ(Labels(FOLDER_LANGUAGE),
              (QStringList{"English", QString::fromUtf8("简体中文"), QString::fromUtf8("繁體中文")}));
    ClickItem(1);
    EXPECT_EQ(m_dlg->windowTitle(), "RFID Read|Write"); // posted, not yet handled
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dlg->commands.empty(); }, 5000));
    EXPECT_EQ(m_dlg->commands, (std::vector<int>{ID_LANGUAGE_FIRST + 1}));

    EXPECT_EQ(m_dlg->windowTitle(), QString::fromUtf8("RFID读写工具"));
    EXPECT_EQ(m_dlg->GetMenu()->actions().at(0)->text(), QString::fromUtf8("文件(&F)"));
    EXPECT_EQ(Headers().at(FOLDER_READWRITE), QString::fromUtf8("读/写"));
    EXPECT_EQ(Labels(FOLDER_READWRITE),
              (QStringList{QString::fromUtf8("所有数字\n[包含厂商ID]"), QString::fromUtf8("仅卡号")}));
    EXPECT_EQ(Bar().SmallIconsLabel, QString::fromUtf8("小图标"));
    EXPECT_EQ(Bar().LargeIconsLabel, QString::fromUtf8("图标"));
    // The language items and the About item keep their labels.
    EXPECT_EQ(Labels(FOLDER_LANGUAGE).at(0), "English");
    EXPECT_EQ(Labels(FOLDER_ABOUT), (QStringList{"www.tagwell.com"}));
}

TEST_F(NavigationPaneTest, WithoutLanguageFilesTheLanguageFolderHoldsOneItemForTheFirstCommand) {
    // A plain file where the language folder belongs: no language file can be written.
    QFile blocker(m_appFolder.filePath("Language"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    OpenWindow();
    EXPECT_EQ(Labels(FOLDER_LANGUAGE), (QStringList{"Language"}));
    // Without a language file every header is empty.
    EXPECT_EQ(Headers(), (QStringList{"", "", "", ""}));

    ClickHeader(FOLDER_LANGUAGE);
    ClickItem(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dlg->commands.empty(); }, 5000));
    EXPECT_EQ(m_dlg->commands, (std::vector<int>{ID_LANGUAGE_FIRST}));
}

TEST_F(NavigationPaneTest, TheAboutItemOpensTheAboutBoxOncePerClickAndItsHeaderOnlyOpensTheFolder) {
    OpenWindow();
    int opened = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
            ++opened;
            about->EndDialog(IDOK);
        }
    });
    closer.start(5);

    ClickHeader(FOLDER_ABOUT);
    QTest::qWait(50);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(m_dlg->CurrentPage(), 3);
    EXPECT_TRUE(m_dlg->ReadWritePage().isVisible()); // no page of its own

    for (int click = 1; click <= 2; ++click) {
        ClickItem(0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return opened == click; }, 5000));
        QTest::qWait(50);
        EXPECT_EQ(opened, click);
    }
    EXPECT_EQ(m_dlg->commands, (std::vector<int>{ID_MENU_ABOUT, ID_MENU_ABOUT}));
}

TEST_F(NavigationPaneTest, ALanguageFileWithoutAFolderKeyLeavesThatHeaderEmpty) {
    OpenWindow();
    QFile partial(m_appFolder.filePath("Language/4.Partial.ini"));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write("[Setting]\r\nLanguage=Partial\r\n[SPECIAL_STRING]\r\nIDS_FOLDER0=Cards\r\n"
                  "IDS_FOLDER1=Batches\r\nIDS_FOLDER3=Maker\r\n");
    partial.close();

    m_dlg->ApplyLanguage("Partial");
    EXPECT_EQ(Headers(), (QStringList{"Cards", "Batches", "", "Maker"}));
    // Missing item labels are emptied too.
    EXPECT_EQ(Labels(FOLDER_READWRITE), (QStringList{"", ""}));
    // The language folder was filled once, at start-up.
    EXPECT_EQ(Labels(FOLDER_LANGUAGE).size(), 3);
}
