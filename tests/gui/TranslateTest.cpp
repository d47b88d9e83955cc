#include "language/MultiLanguage.h"
#include "platform/PrivateProfile.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

template <typename T> T* AddControl(QWidget* parent, int id, const QString& text) {
    auto* control = new T(text, parent);
    control->setProperty("controlId", id);
    return control;
}

QAction* AddCommand(QMenu* menu, int id, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    return action;
}

// Plain widgets standing for a dialog from its template, controls in template order.
struct MassProductionPage {
    QDialog dialog;
    QPushButton* write = AddControl<QPushButton>(&dialog, 1001, "Write");
    QLineEdit* vendor = new QLineEdit("123", &dialog);
    QRadioButton* increase = AddControl<QRadioButton>(&dialog, 1011, "Increase Progressively");
    QRadioButton* noChange = AddControl<QRadioButton>(&dialog, 1013, "No Change");
    QLabel* unnumbered = new QLabel("no id", &dialog);
    QLabel* staticA = AddControl<QLabel>(&dialog, -1, "first static");
    QLabel* staticB = AddControl<QLabel>(&dialog, -1, "second static");
    QGroupBox* group = AddControl<QGroupBox>(&dialog, 1020, "Mode");
    QCheckBox* nested = AddControl<QCheckBox>(group, 1014, "Verify");

    MassProductionPage() {
        dialog.setWindowTitle("Mass Production");
        vendor->setProperty("controlId", 1004);
    }
};

// The main menu as the main window builds it: File, the Language popup inserted at position 1, Help.
struct MainMenu {
    QMenuBar bar;
    QMenu* file = bar.addMenu("File");
    QAction* readWrite = AddCommand(file, 32771, "Read/Write");
    QAction* separator = file->addSeparator();
    QMenu* recent = file->addMenu("Recent");
    QAction* recentItem = AddCommand(recent, 32773, "Mass Production");
    QAction* exit = AddCommand(file, 32772, "Exit");
    QMenu* help = bar.addMenu("Help");
    QAction* about = AddCommand(help, 32774, "About");
    QMenu* language = new QMenu("Language", &bar);
    QAction* english = AddCommand(language, 60000, "English");
    QAction* deutsch = AddCommand(language, 60001, "Deutsch");
    QAction* untagged = language->addAction("no command id");

    MainMenu() { bar.insertMenu(help->menuAction(), language); }
};

class Translate : public ::testing::Test {
protected:
    void SetUp() override {
        catalogue.ProvideBuiltInLanguages();
        ASSERT_EQ(catalogue.GetLanguageFile(), app.filePath("Language/1.English.ini"));
    }

    void WriteLanguage(const QString& fileName, const QString& text) const {
        QFile file(app.filePath("Language/" + fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*EncodeProfile({ProfileEncoding::Utf16LE, text}));
    }

    QTemporaryDir app;
    CMultiLanguage catalogue{app.path()};
};

} // namespace

TEST_F(Translate, EnglishFileSetsTheDirectChildrenThatHaveKeys) {
    MassProductionPage page;
    catalogue.TranslateDialog(&page.dialog, 138);
    EXPECT_EQ(page.dialog.windowTitle(), "Mass Production"); // no IDD_138_Title in the file
    EXPECT_EQ(page.write->text(), "Write");
    EXPECT_EQ(page.noChange->text(), "No change");
    EXPECT_EQ(page.vendor->text(), "123");
    EXPECT_EQ(page.nested->text(), "Verify");

    MassProductionPage other;
    catalogue.TranslateDialog(&other.dialog, 102);
    EXPECT_EQ(other.dialog.windowTitle(), "RFID Read|Write");
    EXPECT_EQ(other.noChange->text(), "No Change");
}

TEST_F(Translate, AnyControlIdIsAKeyButGrandchildrenAndEmptyValuesAreNot) {
    WriteLanguage("4.Test.ini", "[Setting]\r\nLanguage=Test\r\n[IDD_138]\r\n"
                                "IDD_138_Title=Serie & more\r\n"
                                "IDD_138_1004=200\r\n"
                                "IDD_138_1001=\r\n"
                                "IDD_138_1011=&Up\\nwards\r\n"
                                "IDD_138_-1=shared\r\n"
                                "IDD_138_1014=not for grandchildren\r\n"
                                "IDD_138_1020=Group\r\n"
                                "IDD_138_4242=no such control\r\n");
    ASSERT_TRUE(catalogue.SetLanguage("Test"));
    MassProductionPage page;
    QDialog owned(&page.dialog); // a window of its own, not a control of the page
    owned.setProperty("controlId", 1020);
    catalogue.TranslateDialog(&page.dialog, 138);
    EXPECT_EQ(owned.windowTitle(), "");
    EXPECT_EQ(page.dialog.windowTitle(), "Serie & more");
    EXPECT_EQ(page.vendor->text(), "200");
    EXPECT_EQ(page.write->text(), "Write");
    EXPECT_EQ(page.increase->text(), "&Up\\nwards"); // used as it stands
    EXPECT_EQ(page.staticA->text(), "shared");
    EXPECT_EQ(page.staticB->text(), "shared");
    EXPECT_EQ(page.unnumbered->text(), "no id");
    EXPECT_EQ(page.group->title(), "Group");
    EXPECT_EQ(page.nested->text(), "Verify");
    EXPECT_EQ(page.noChange->text(), "No Change");
}

TEST_F(Translate, MenuPopupsGoByPositionAndCommandsByIdAtAnyDepth) {
    WriteLanguage("4.Test.ini", "[Setting]\r\nLanguage=Test\r\n[MENU_137]\r\n"
                                "MENU_137_0=Datei\r\nMENU_137_0_2=Zuletzt\r\nMENU_137_32773=Serie\r\n"
                                "MENU_137_32771=\r\nMENU_137_1=Sprache\r\nMENU_137_2=Hilfe\r\n");
    MainMenu menu;
    catalogue.TranslateMenu(&menu.bar, 137);
    EXPECT_EQ(menu.file->title(), "File(&F)");
    EXPECT_EQ(menu.language->title(), "Language(&H)");
    EXPECT_EQ(menu.help->title(), "Help(&H)");
    EXPECT_EQ(menu.readWrite->text(), "Read|Write");
    EXPECT_EQ(menu.recentItem->text(), "Mass Production");
    EXPECT_EQ(menu.exit->text(), "Exit(&X)");
    EXPECT_EQ(menu.about->text(), "About(&A)");
    EXPECT_EQ(menu.english->text(), "English");
    EXPECT_EQ(menu.deutsch->text(), "Deutsch");
    EXPECT_EQ(menu.untagged->text(), "no command id");
    EXPECT_TRUE(menu.separator->text().isEmpty());

    ASSERT_TRUE(catalogue.SetLanguage("Test"));
    catalogue.TranslateMenu(&menu.bar, 137);
    // The separator counts as a position, so the nested popup is the third item of File.
    EXPECT_EQ(menu.recent->title(), "Zuletzt");
    EXPECT_EQ(menu.recentItem->text(), "Serie");
    EXPECT_EQ(menu.readWrite->text(), "Read|Write");
    EXPECT_EQ(menu.exit->text(), "Exit(&X)"); // the test file has no key: the English text stays
    EXPECT_EQ(menu.bar.actions().size(), 3);
    EXPECT_EQ(menu.bar.actions()[0]->menu(), menu.file);
    EXPECT_EQ(menu.bar.actions()[1]->menu(), menu.language);
    EXPECT_EQ(menu.language->title(), "Sprache");
}

TEST_F(Translate, SpecialStringsExpandBackslashNOnly) {
    EXPECT_EQ(catalogue.GetSpecialString("SPECIAL_STRING", "IDS_ALLNUMBER"),
              "All number\n[Include Vendor ID]");
    EXPECT_EQ(catalogue.GetSpecialString("special_string", "ids_idlemessage"), "Ready");
    EXPECT_EQ(catalogue.GetSpecialString("SPECIAL_STRING", "IDS_MISSING"), "");

    const QString longValue = QString(1200, u'v');
    WriteLanguage("4.Test.ini", "[Setting]\r\nLanguage=Test\r\n[SPECIAL_STRING]\r\n"
                                "A=x\\\\ny\r\nB=\\n\\n\r\nC=" +
                                    longValue + "\r\nE=\r\n");
    ASSERT_TRUE(catalogue.SetLanguage("Test"));
    EXPECT_EQ(catalogue.GetSpecialString("SPECIAL_STRING", "A"), "x\\\ny");
    EXPECT_EQ(catalogue.GetSpecialString("SPECIAL_STRING", "B"), "\n\n");
    EXPECT_EQ(catalogue.GetSpecialString("SPECIAL_STRING", "C"), longValue.left(999));
    EXPECT_EQ(catalogue.GetSpecialString("SPECIAL_STRING", "E"), "");
    // A built-in text that a file translates breaks its lines the same way.
    const CBuiltInText twoLines("SPECIAL_STRING", "B", u"one line", u"one line", u"one line");
    EXPECT_EQ(catalogue.GetText(twoLines), "\n\n");
}

TEST_F(Translate, SwitchingToAFileWithoutAKeyLeavesThePreviousLanguagesText) {
    WriteLanguage("4.Deutsch.ini", "[Setting]\r\nLanguage=Deutsch\r\n[IDD_138]\r\nIDD_138_1013=Fest\r\n");
    MassProductionPage page;
    ASSERT_TRUE(catalogue.SetLanguage("简体中文"));
    catalogue.TranslateDialog(&page.dialog, 138);
    EXPECT_EQ(page.write->text(), "写入");
    EXPECT_EQ(page.noChange->text(), "固定");

    ASSERT_TRUE(catalogue.SetLanguage("Deutsch"));
    catalogue.TranslateDialog(&page.dialog, 138);
    catalogue.TranslateDialog(&page.dialog, 138);
    EXPECT_EQ(page.write->text(), "写入");
    EXPECT_EQ(page.noChange->text(), "Fest");
}

TEST(TranslateWithoutFile, NothingChangesWhenNoLanguageFileIsCurrent) {
    QTemporaryDir app;
    CMultiLanguage catalogue(app.path());
    ASSERT_TRUE(catalogue.GetLanguageFile().isEmpty());
    MassProductionPage page;
    MainMenu menu;
    catalogue.TranslateDialog(&page.dialog, 138);
    catalogue.TranslateMenu(&menu.bar, 137);
    catalogue.TranslateDialog(nullptr, 138);
    catalogue.TranslateMenu(nullptr, 137);
    EXPECT_EQ(page.noChange->text(), "No Change");
    EXPECT_EQ(page.dialog.windowTitle(), "Mass Production");
    EXPECT_EQ(menu.file->title(), "File");
    EXPECT_EQ(catalogue.GetSpecialString("SPECIAL_STRING", "IDS_IDLEMESSAGE"), "");
}
