#include "pages/MPDlg.h"
#include "pages/OPListDlg.h"
#include "pages/OPMainDlg.h"
#include "shell/RFIDDlg.h"
#include "platform/AppProfile.h"
#include "platform/PrivateProfile.h"
#include "resources/DialogTemplates.h"
#include "shell/StatusBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QList<QAction*> MenuBarEntries(CRFIDDlg& dlg) {
    return dlg.GetMenu()->actions();
}

QStringList Titles(const QList<QAction*>& actions) {
    QStringList titles;
    for (QAction* action : actions)
        titles << action->text();
    return titles;
}

QAction* FindItem(QMenu* menu, int nID) {
    for (QAction* action : menu->actions())
        if (!action->menu() && action->data().toInt() == nID)
            return action;
    return nullptr;
}

QString ButtonText(CDialog& dialog, int nID) {
    auto* button = qobject_cast<QAbstractButton*>(dialog.GetDlgItem(nID));
    return button ? button->text() : QString();
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_dir.path());
        Profile().clear();
    }
    void TearDown() override { CMultiLanguage::SetDefaultAppFolder(QString()); }

    static QSettings Profile() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, GetRegistryKey(), GetProfileName());
    }

    static std::unique_ptr<CRFIDDlg> OpenWindow() {
        auto dlg = std::make_unique<CRFIDDlg>();
        EXPECT_TRUE(dlg->CreateTopLevel());
        dlg->show();
        QCoreApplication::processEvents(); // the posted size message lays the window out
        return dlg;
    }

    static QMenu* LanguagePopup(CRFIDDlg& dlg) { return MenuBarEntries(dlg).at(1)->menu(); }

    static std::vector<bool> CheckMarksWhenOpened(CRFIDDlg& dlg) {
        QMenu* popup = LanguagePopup(dlg);
        emit popup->aboutToShow();
        std::vector<bool> checks;
        for (QAction* item : popup->actions())
            checks.push_back(item->isChecked());
        return checks;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(MainWindowTest, FirstStartWritesTheLanguagesAndTranslatesEveryWindowInEnglish) {
    auto dlg = OpenWindow();
    for (const char* file : {"1.English.ini", "2.Simplified Chinese.ini", "3.Traditional Chinese.ini"})
        EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("Language/") + file))) << file;

    EXPECT_EQ(Titles(MenuBarEntries(*dlg)), (QStringList{"File(&F)", "Language(&H)", "Help(&H)"}));
    QMenu* languages = LanguagePopup(*dlg);
    EXPECT_EQ(Titles(languages->actions()),
              (QStringList{"English", QString::fromUtf8("简体中文"), QString::fromUtf8("繁體中文")}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(languages->actions().at(i)->data().toInt(), ID_LANGUAGE_FIRST + i);

    // Texts that differ from the templates show that every window was translated.
    EXPECT_EQ(dlg->windowTitle(), "RFID Read|Write");
    QMenu* file = MenuBarEntries(*dlg).at(0)->menu();
    EXPECT_EQ(FindItem(file, ID_MENU_READWRITE)->text(), "Read|Write");
    EXPECT_EQ(ButtonText(dlg->MassProductionPage(), IDC_MP_NOCHANGE), "No change");
    EXPECT_EQ(dlg->StatusBar()->GetPaneText(0), "Ready");

    EXPECT_EQ(dlg->NavigationPane().m_pMainDlg, dlg.get());
    EXPECT_EQ(dlg->ReadWritePage().m_pMainDlg, dlg.get());
    EXPECT_EQ(dlg->MassProductionPage().m_pMainDlg, dlg.get());
    EXPECT_EQ(dlg->CurrentPage(), 0);
    EXPECT_EQ(dlg->Log()->property("controlId").toInt(), IDC_LOG);
    EXPECT_TRUE(dlg->Log()->isReadOnly());
}

TEST_F(MainWindowTest, ChoosingALanguageRetranslatesEverythingAndMovesTheCheckMark) {
    auto dlg = OpenWindow();
    EXPECT_EQ(CheckMarksWhenOpened(*dlg), (std::vector<bool>{true, false, false}));

    FindItem(LanguagePopup(*dlg), ID_LANGUAGE_FIRST + 1)->trigger();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("RFID读写工具"));
    EXPECT_EQ(Titles(MenuBarEntries(*dlg)),
              (QStringList{QString::fromUtf8("文件(&F)"), QString::fromUtf8("语言(&H)"),
                           QString::fromUtf8("帮助(&H)")}));
    EXPECT_EQ(dlg->StatusBar()->GetPaneText(0), QString::fromUtf8("就绪"));
    EXPECT_EQ(ButtonText(dlg->ReadWritePage(), IDC_BTN_READ), QString::fromUtf8("读取"));
    EXPECT_EQ(ButtonText(dlg->MassProductionPage(), IDC_MP_NOCHANGE), QString::fromUtf8("固定"));
    // The language items have no keys and keep their names.
    EXPECT_EQ(LanguagePopup(*dlg)->actions().at(0)->text(), "English");
    EXPECT_EQ(CheckMarksWhenOpened(*dlg), (std::vector<bool>{false, true, false}));

    FindItem(LanguagePopup(*dlg), ID_LANGUAGE_FIRST + 2)->trigger();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("RFID讀寫工具"));
    EXPECT_EQ(CheckMarksWhenOpened(*dlg), (std::vector<bool>{false, false, true}));
}

TEST_F(MainWindowTest, EveryMenuTitleStandsInTheBarAfterEachLanguageSwitch) {
    auto dlg = OpenWindow();
    QMenuBar* bar = dlg->GetMenu();
    for (const int language : {1, 2, 0, 2, 1, 0}) {
        FindItem(LanguagePopup(*dlg), ID_LANGUAGE_FIRST + language)->trigger();
        QCoreApplication::processEvents();
        for (QAction* title : bar->actions()) {
            const QRect shown = bar->actionGeometry(title);
            EXPECT_FALSE(shown.isEmpty()) << language << " " << title->text().toStdString();
            EXPECT_TRUE(bar->rect().contains(shown)) << language << " " << title->text().toStdString();
        }
        // The page area starts right below the bar.
        EXPECT_EQ(dlg->MainSplitter().geometry().top(), bar->geometry().bottom() + 1) << language;
    }
}

TEST_F(MainWindowTest, ClockTicksAndPaneZeroIs84PixelsNarrowerThanTheClientArea) {
    auto dlg = OpenWindow();
    CStatusBar* bar = dlg->StatusBar();
    const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    const QString first = bar->GetPaneText(1);
    EXPECT_TRUE(clock.match(first).hasMatch()) << first.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->GetPaneText(1) != first; }, 5000));
    EXPECT_TRUE(clock.match(bar->GetPaneText(1)).hasMatch());

    for (const QSize size : {QSize(840, 600), QSize(1000, 700), QSize(500, 400)}) {
        dlg->resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->width(), dlg->GetClientRect().width());
        EXPECT_EQ(bar->GetItemRect(0).width(), dlg->GetClientRect().width() - 84);
        EXPECT_EQ(bar->GetItemRect(1).right(), bar->width() - 1); // the clock stretches to the edge
        EXPECT_EQ(bar->geometry().bottom(), dlg->height() - 1);
    }
}

TEST_F(MainWindowTest, AppendLogAppendsAtTheEndAndReplaceMakesTheLogHoldOnlyTheText) {
    auto dlg = OpenWindow();
    QSignalSpy changes(dlg->Log()->document(), &QTextDocument::contentsChanged);

    dlg->AppendLog("Disconnect!", true);
    EXPECT_EQ(dlg->GetLogText(), "Disconnect!");
    const qsizetype afterFirst = changes.count();
    dlg->AppendLog("Disconnect!", true); // already exactly that: nothing happens
    EXPECT_EQ(changes.count(), afterFirst);
    dlg->AppendLog("disconnect!", true); // the comparison is case-sensitive
    EXPECT_EQ(dlg->GetLogText(), "disconnect!");

    dlg->AppendLog("AB Version: 1.0.2", true);
    dlg->AppendLog(QString::fromUtf8("\r\nREAD CARD SUCCESS√"), false);
    dlg->AppendLog(" [VENDOR ID:018 CARD NO.:0878082202]", false);
    dlg->AppendLog(QString::fromUtf8("\r\nREAD CARD ERROR×"), false);
    EXPECT_EQ(dlg->GetLogText(),
              QString::fromUtf8("AB Version: 1.0.2\nREAD CARD SUCCESS√ [VENDOR ID:018 CARD "
                                "NO.:0878082202]\nREAD CARD ERROR×"));
    EXPECT_TRUE(dlg->Log()->textCursor().atEnd());
    EXPECT_FALSE(dlg->Log()->document()->isUndoAvailable());

    // Appending goes to the end even when the user has put the caret elsewhere.
    QTextCursor start = dlg->Log()->textCursor();
    start.movePosition(QTextCursor::Start);
    dlg->Log()->setTextCursor(start);
    dlg->AppendLog("!", false);
    EXPECT_TRUE(dlg->GetLogText().endsWith(QString::fromUtf8("ERROR×!")));

    dlg->AppendLog("Disconnect!", true);
    EXPECT_EQ(dlg->GetLogText(), "Disconnect!");
}

TEST_F(MainWindowTest, TheLogHasNoContextMenuAndEnterInItDoesNotEndTheWindow) {
    auto dlg = OpenWindow();
    bool menuShown = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    closer.start(20);
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(5, 5),
                            dlg->Log()->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(dlg->Log()->viewport(), &mouse);
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(5, 5),
                               dlg->Log()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(dlg->Log(), &keyboard);
    QTest::mouseClick(dlg->Log()->viewport(), Qt::RightButton);
    QTest::qWait(60);
    EXPECT_FALSE(menuShown);

    dlg->Log()->setFocus();
    QTest::keyClick(dlg->Log(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(MainWindowTest, FirstStartSplitsOff300PixelsLeftAnd120PixelsOfLogWithSixPixelGaps) {
    auto dlg = OpenWindow();
    QRect client = dlg->GetClientRect();
    client.setBottom(client.bottom() - dlg->StatusBar()->height());
    EXPECT_EQ(dlg->MainSplitter().geometry(), client);

    const QRect list = dlg->NavigationPane().geometry();
    const QRect right = dlg->RightSplitter().geometry();
    EXPECT_EQ(list.left(), 0);
    EXPECT_EQ(list.width(), 301); // one pixel wider than the 300-pixel pane rectangle
    EXPECT_EQ(right.left() - list.right() - 1, 6);
    EXPECT_EQ(right.right(), client.width() - 1);

    const QRect page = dlg->ReadWritePage().geometry();
    const QRect log = dlg->Log()->geometry();
    EXPECT_EQ(log.height(), 120);
    EXPECT_EQ(log.bottom(), right.height() - 1);
    EXPECT_EQ(log.top() - page.bottom() - 1, 6);
    EXPECT_EQ(page.top(), 0);
    EXPECT_TRUE(dlg->ReadWritePage().isVisible());
    EXPECT_FALSE(dlg->MassProductionPage().isVisible());
}

TEST_F(MainWindowTest, MenuCommandsSwitchThePageAboveTheLogAndKeepTheLogHeight) {
    auto dlg = OpenWindow();
    QMenu* file = MenuBarEntries(*dlg).at(0)->menu();

    FindItem(file, ID_MENU_MASSPRODUCTION)->trigger();
    EXPECT_EQ(dlg->CurrentPage(), 1);
    EXPECT_TRUE(dlg->MassProductionPage().isVisible());
    EXPECT_FALSE(dlg->ReadWritePage().isVisible());
    EXPECT_EQ(dlg->MassProductionPage().parentWidget(), &dlg->RightSplitter());
    EXPECT_EQ(dlg->Log()->height(), 120);

    FindItem(file, ID_MENU_READWRITE)->trigger();
    EXPECT_EQ(dlg->CurrentPage(), 0);
    EXPECT_TRUE(dlg->ReadWritePage().isVisible());
    EXPECT_FALSE(dlg->MassProductionPage().isVisible());

    // Asking for the current page again changes nothing, not even a hidden page shown by hand.
    dlg->MassProductionPage().show();
    dlg->ShowPage(0);
    EXPECT_TRUE(dlg->MassProductionPage().isVisible());
    dlg->MassProductionPage().hide();

    dlg->ShowPage(3); // stored, but there is no such page
    EXPECT_EQ(dlg->CurrentPage(), 3);
    EXPECT_TRUE(dlg->ReadWritePage().isVisible());
}

TEST_F(MainWindowTest, CloseBoxStoresPlacementAndSplittersAndTheNextStartUsesThem) {
    {
        auto dlg = OpenWindow();
        dlg->setGeometry(120, 90, 660, 540); // wholly on the 800 x 800 screen of the tests
        QCoreApplication::processEvents();
        dlg->close();
        EXPECT_FALSE(dlg->isVisible());
    }
    QSettings profile = Profile();
    const auto stored = ParseWindowPlacement(profile.value("Settings/WindowPos").toString());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->showCmd, SW_SHOWNORMAL);
    EXPECT_EQ(stored->NormalRect(), QRect(120, 90, 660, 540));
    EXPECT_EQ(profile.value("splt/init_v40000/VertSplitPos").toInt(), 300);
    EXPECT_EQ(profile.value("splt/init_h40001/HorizSplitPos").toInt(), 120);

    auto dlg = OpenWindow();
    EXPECT_EQ(dlg->geometry(), QRect(120, 90, 660, 540));
    EXPECT_FALSE(dlg->isMaximized());
}

TEST_F(MainWindowTest, ClosingWhileMinimisedComesBackRestoredOrMaximised) {
    {
        auto dlg = OpenWindow();
        dlg->showMinimized();
        dlg->close();
    }
    EXPECT_EQ(ParseWindowPlacement(GetProfileString("Settings", "WindowPos"))->showCmd, SW_SHOW);
    {
        auto dlg = OpenWindow();
        EXPECT_FALSE(dlg->isMinimized());
        EXPECT_FALSE(dlg->isMaximized());
        dlg->showMaximized();
        dlg->showMinimized();
        dlg->close();
    }
    const auto stored = ParseWindowPlacement(GetProfileString("Settings", "WindowPos"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->showCmd, SW_SHOWMAXIMIZED);
    EXPECT_EQ(stored->flags, WPF_RESTORETOMAXIMIZED);
    auto dlg = OpenWindow();
    EXPECT_TRUE(dlg->isMaximized());
    EXPECT_FALSE(dlg->isMinimized());
}

TEST_F(MainWindowTest, NineFieldOrMalformedPlacementIsIgnored) {
    const QSize templateSize(840, 520);
    for (const char* value : {"0,1,-1,-1,-1,-1,100,80,1000", "0,1,-1,-1,-1,-1,100,80,x,700", "garbage",
                              "0,1,-1,-1,-1,-1,100,80,100,80"}) {
        WriteProfileString("Settings", "WindowPos", value);
        auto dlg = OpenWindow();
        EXPECT_EQ(dlg->GetClientRect().size(), templateSize) << value;
        EXPECT_NE(dlg->pos(), QPoint(100, 80)) << value;
    }
}

TEST_F(MainWindowTest, EscapeAndEnterInTheLogOrAfterASplitterDragNeverEndTheProgram) {
    CRFIDDlg dlg;
    QSignalSpy finished(&dlg, &QDialog::finished);
    QTimer::singleShot(0, &dlg, [&] {
        FindItem(MenuBarEntries(dlg).at(0)->menu(), ID_MENU_MASSPRODUCTION)->trigger();
        auto* cardNo = qobject_cast<QLineEdit*>(dlg.MassProductionPage().GetDlgItem(IDC_MP_CARDNO));
        cardNo->setText(QStringLiteral("0000004711"));
        const auto pressEscapeAndEnter = [&](const char* where) {
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(dlg.focusWidget(), key);
                EXPECT_TRUE(finished.isEmpty()) << where << " key " << key;
            }
        };
        dlg.Log()->setFocus();
        pressEscapeAndEnter("log");

        // Drag the bar between page and log a little upwards; the splitter keeps the focus.
        CSSplitter& inner = dlg.RightSplitter();
        const QPoint bar = inner.GetHorizBarRect().ToQRect().center();
        QTest::mousePress(&inner, Qt::LeftButton, {}, bar);
        QCoreApplication::processEvents();
        QTest::mouseMove(&inner, bar - QPoint(0, 20));
        QTest::mouseRelease(&inner, Qt::LeftButton, {}, bar - QPoint(0, 20));
        EXPECT_EQ(dlg.focusWidget(), &inner);
        pressEscapeAndEnter("splitter");

        EXPECT_EQ(cardNo->text(), QStringLiteral("0000004711"));
        dlg.close(); // the close box
    });
    dlg.DoModal();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(ParseWindowPlacement(GetProfileString("Settings", "WindowPos")));
}

TEST_F(MainWindowTest, HostileStoredPlacementsComeBackWhollyOnTheScreenAtAUsableSize) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const char* value :
         {"0,1,-1,-1,-1,-1,0,0,16777215,16777215", "0,1,-1,-1,-1,-1,100,100,30100,30100",
          "0,1,-1,-1,-1,-1,-9000,-9000,-8200,-8500", "0,1,-1,-1,-1,-1,50000,50000,50700,50500",
          "0,1,-1,-1,-1,-1,-2147483648,-2147483648,2147483647,2147483647", "0,1,-1,-1,-1,-1,10,10,11,11",
          "0,3,-1,-1,-1,-1,2147483646,-2147483648,2147483647,2147483647"}) {
        WriteProfileString("Settings", "WindowPos", value);
        {
            auto dlg = OpenWindow();
            if (!dlg->isMaximized()) {
                EXPECT_TRUE(screen.contains(dlg->frameGeometry())) << value;
            }
            EXPECT_GE(dlg->normalGeometry().width(), 400) << value;
            EXPECT_GE(dlg->normalGeometry().height(), 300) << value;
            dlg->close();
        }
        // Closing stores that usable placement, not the hostile one.
        const auto stored = ParseWindowPlacement(GetProfileString("Settings", "WindowPos"));
        ASSERT_TRUE(stored) << value;
        EXPECT_TRUE(screen.contains(stored->NormalRect())) << value;
    }
}

TEST_F(MainWindowTest, ClosingATinyWindowKeepsTheStoredSplitPositions) {
    for (const QSize tiny : {QSize(320, 170), QSize(1, 1)}) {
        {
            auto dlg = OpenWindow();
            dlg->resize(tiny);
            QCoreApplication::processEvents();
            dlg->close();
        }
        QSettings profile = Profile();
        EXPECT_EQ(profile.value("splt/init_v40000/VertSplitPos").toInt(), 300) << tiny.width();
        EXPECT_EQ(profile.value("splt/init_h40001/HorizSplitPos").toInt(), 120) << tiny.width();
        Profile().remove("Settings/WindowPos");
        auto dlg = OpenWindow();
        EXPECT_EQ(dlg->Log()->height(), 120);
        EXPECT_EQ(dlg->NavigationPane().width(), 301);
    }
}

TEST_F(MainWindowTest, ExitEndsTheWindowWithoutStoringThePlacement) {
    auto dlg = OpenWindow();
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    FindItem(MenuBarEntries(*dlg).at(0)->menu(), ID_MENU_EXIT)->trigger();
    EXPECT_TRUE(dlg->isVisible()); // the quit is posted
    EXPECT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty(); }, 5000));
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(GetProfileString("Settings", "WindowPos"), "");
}

TEST_F(MainWindowTest, AboutBoxIsTranslatedWithTheMainCatalogue) {
    auto dlg = OpenWindow();
    FindItem(LanguagePopup(*dlg), ID_LANGUAGE_FIRST + 1)->trigger();
    QString title, okText;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<CDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        title = about->windowTitle();
        okText = ButtonText(*about, IDOK);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    QAction* aboutItem = FindItem(MenuBarEntries(*dlg).at(2)->menu(), ID_MENU_ABOUT);
    aboutItem->trigger();
    EXPECT_EQ(title, QString::fromUtf8("关于"));
    EXPECT_EQ(okText, QString::fromUtf8("确定"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(dlg->isVisible());
}

namespace {

QMenu* NumberFormsPopup(CRFIDDlg& dlg) {
    for (QAction* entry : MenuBarEntries(dlg).at(0)->menu()->actions())
        if (entry->menu() && FindItem(entry->menu(), ID_MENU_NUMBERFORM_FIRST))
            return entry->menu();
    return nullptr;
}

std::vector<bool> NumberFormChecks(CRFIDDlg& dlg) {
    std::vector<bool> checks;
    for (QAction* item : NumberFormsPopup(dlg)->actions())
        checks.push_back(item->isChecked());
    return checks;
}

} // namespace

TEST_F(MainWindowTest, NumberFormsChoiceIsStoredInTheSettingFileAndComesBackOnTheNextStart) {
    const QString settingFile = m_dir.filePath(QStringLiteral("setting.ini"));
    {
        auto dlg = OpenWindow();
        ASSERT_TRUE(NumberFormsPopup(*dlg));
        EXPECT_EQ(Titles(NumberFormsPopup(*dlg)->actions()),
                  (QStringList{"HEX", "DEZ10", "DEZ8", "W26 (3.5)", "5.5"}));
        EXPECT_EQ(NumberFormChecks(*dlg), std::vector<bool>(5, false));
        EXPECT_EQ(dlg->ReadWritePage().m_nNumberForms, 0u);
        // Through the menu bar, as a click on the item arrives.
        for (int nID : {ID_MENU_NUMBERFORM_FIRST + 3, ID_MENU_NUMBERFORM_FIRST, ID_MENU_NUMBERFORM_FIRST + 1,
                        ID_MENU_NUMBERFORM_FIRST + 1})
            FindItem(NumberFormsPopup(*dlg), nID)->trigger();
        EXPECT_EQ(NumberFormChecks(*dlg), (std::vector<bool>{true, false, false, true, false}));
        EXPECT_EQ(dlg->ReadWritePage().m_nNumberForms, FORM_HEX | FORM_W26);
        EXPECT_EQ(dlg->MassProductionPage().m_nNumberForms, FORM_HEX | FORM_W26);
    }
    EXPECT_EQ(LoadNumberForms(settingFile), FORM_HEX | FORM_W26);
    {
        auto dlg = OpenWindow();
        EXPECT_EQ(NumberFormChecks(*dlg), (std::vector<bool>{true, false, false, true, false}));
        EXPECT_EQ(dlg->MassProductionPage().m_nNumberForms, FORM_HEX | FORM_W26);
    }
    // A hand-edited value keeps the forms it names and nothing else.
    ASSERT_TRUE(WritePrivateProfileString(NUMBER_FORMS_SECTION, NUMBER_FORMS_KEY, QStringLiteral("5.5,,HEX?,dez8 "),
                                          settingFile));
    auto dlg = OpenWindow();
    EXPECT_EQ(NumberFormChecks(*dlg), (std::vector<bool>{false, false, true, false, true}));
}

TEST_F(MainWindowTest, NumberFormsTitleIsTranslatedInEveryBuiltInLanguageAndByADroppedInFile) {
    auto dlg = OpenWindow();
    EXPECT_EQ(NumberFormsPopup(*dlg)->title(), "Number Forms(&N)");
    FindItem(LanguagePopup(*dlg), ID_LANGUAGE_FIRST + 1)->trigger();
    EXPECT_EQ(NumberFormsPopup(*dlg)->title(), QString::fromUtf8("卡号格式(&N)"));
    FindItem(LanguagePopup(*dlg), ID_LANGUAGE_FIRST + 2)->trigger();
    EXPECT_EQ(NumberFormsPopup(*dlg)->title(), QString::fromUtf8("卡號格式(&N)"));

    const QString dropped = m_dir.filePath(QStringLiteral("Language/4.Deutsch.ini"));
    ASSERT_TRUE(WritePrivateProfileString(QStringLiteral("Setting"), QStringLiteral("Language"),
                                          QStringLiteral("Deutsch"), dropped));
    dlg->ApplyLanguage(QStringLiteral("Deutsch"));
    EXPECT_EQ(NumberFormsPopup(*dlg)->title(), "Number Forms(&N)") << "a language without the key: English";
    ASSERT_TRUE(WritePrivateProfileString(QStringLiteral("MENU_137"), QStringLiteral("MENU_137_NumberForms"),
                                          QStringLiteral("Nummernformen(&N)"), dropped));
    ASSERT_TRUE(WritePrivateProfileString(QStringLiteral("MENU_137"),
                                          QStringLiteral("MENU_137_%1").arg(ID_MENU_NUMBERFORM_FIRST + 4),
                                          QStringLiteral("5.5 (Dezimal)"), dropped));
    dlg->ApplyLanguage(QStringLiteral("Deutsch"));
    EXPECT_EQ(NumberFormsPopup(*dlg)->title(), "Nummernformen(&N)");
    EXPECT_EQ(NumberFormsPopup(*dlg)->actions().at(4)->text(), "5.5 (Dezimal)");
}
