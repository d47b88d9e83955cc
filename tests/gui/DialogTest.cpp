#include "platform/Dialog.h"
#include "resources/DialogTemplates.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A dialog that records its commands and the keys it is shown, swallowing one chosen key.
class CRecordingDialog : public CDialog {
public:
    CRecordingDialog(int nTemplate, std::vector<QString>* calls = nullptr, QString name = QString())
        : CDialog(nTemplate), m_pCalls(calls), m_strName(std::move(name)) {}

    bool PreTranslateMessage(QObject* target, QKeyEvent* e) override {
        if (e->type() == QEvent::KeyPress && m_pCalls)
            m_pCalls->push_back(m_strName);
        if (m_nSwallowKey != 0 && e->key() == m_nSwallowKey)
            return true;
        return CDialog::PreTranslateMessage(target, e);
    }

    std::vector<int> m_Commands;
    int m_nSwallowKey = 0;

protected:
    void OnCommand(int nID) override {
        m_Commands.push_back(nID);
        CDialog::OnCommand(nID);
    }

private:
    std::vector<QString>* m_pCalls;
    QString m_strName;
};

std::vector<int> ChildIds(const QWidget& dialog) {
    std::vector<int> ids;
    for (QObject* child : dialog.children())
        if (child->property(kControlIdProperty).isValid())
            ids.push_back(ControlIdOf(child));
    return ids;
}

} // namespace

TEST(Dialog, ChildDialogHasTheTemplateControlsInOrderAtTheirPixelRectangles) {
    QWidget parent;
    CDialog page(IDD_OPMAIN);
    ASSERT_TRUE(page.Create(&parent));
    EXPECT_FALSE(page.Create(&parent));
    EXPECT_FALSE(page.isWindow());
    EXPECT_EQ(page.parentWidget(), &parent);
    EXPECT_EQ(page.size(), QSize(469, 370));
    EXPECT_EQ(ChildIds(page), (std::vector<int>{1002, 1000, 1003, 1001}));

    auto* read = qobject_cast<QPushButton*>(page.GetDlgItem(IDC_BTN_READ));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->text(), "Read");
    EXPECT_TRUE(read->isDefault());
    EXPECT_FALSE(qobject_cast<QPushButton*>(page.GetDlgItem(IDC_BTN_WRITE))->isDefault());
    ASSERT_NE(qobject_cast<QLineEdit*>(page.GetDlgItem(IDC_EDIT_READ)), nullptr);
    // 42, 71, 150, 24 dialog units: edges at 42*6/4, 71*13/8, 192*6/4, 95*13/8.
    EXPECT_EQ(page.GetDlgItem(IDC_EDIT_READ)->geometry(), QRect(63, 115, 225, 39));
    EXPECT_EQ(page.GetDlgItem(12345), nullptr);
}

TEST(Dialog, AControlFoundOnceIsNotAnsweredAfterItWentOrChangedItsId) {
    QWidget parent;
    CDialog page(IDD_OPMAIN);
    ASSERT_TRUE(page.Create(&parent));
    QWidget* read = page.GetDlgItem(IDC_BTN_READ);
    ASSERT_EQ(page.GetDlgItem(IDC_BTN_READ), read); // remembered
    read->setProperty(kControlIdProperty, 4242);
    EXPECT_EQ(page.GetDlgItem(IDC_BTN_READ), nullptr);
    EXPECT_EQ(page.GetDlgItem(4242), read);
    delete read;
    EXPECT_EQ(page.GetDlgItem(4242), nullptr);
    auto* late = new QPushButton(&page);
    late->setProperty(kControlIdProperty, 4242);
    EXPECT_EQ(page.GetDlgItem(4242), late);
}

TEST(Dialog, TemplateTextsAndRadioGroupsOfTheMassProductionPage) {
    QWidget parent;
    CDialog page(IDD_MP);
    ASSERT_TRUE(page.Create(&parent));
    EXPECT_EQ(ChildIds(page), (std::vector<int>{1015, 1011, 1012, 1013, 1014, 1004, 1003, 1001}));
    EXPECT_EQ(page.GetDlgItemText(IDC_MP_NOCHANGE), "No Change");
    EXPECT_EQ(page.GetDlgItemText(IDC_MP_INCREASE), "Increase Progressively");
    EXPECT_TRUE(qobject_cast<QPushButton*>(page.GetDlgItem(IDC_MP_WRITE))->isDefault());
    EXPECT_NE(qobject_cast<QLabel*>(page.GetDlgItem(IDC_MP_FRAME))->frameShape(), QFrame::NoFrame);

    auto* increase = qobject_cast<QRadioButton*>(page.GetDlgItem(IDC_MP_INCREASE));
    auto* random = qobject_cast<QRadioButton*>(page.GetDlgItem(IDC_MP_RANDOM));
    auto* noChange = qobject_cast<QRadioButton*>(page.GetDlgItem(IDC_MP_NOCHANGE));
    auto* verify = qobject_cast<QCheckBox*>(page.GetDlgItem(IDC_MP_VERIFY));
    ASSERT_TRUE(increase && random && noChange && verify);
    increase->setChecked(true);
    verify->setChecked(true);
    noChange->click();
    EXPECT_FALSE(increase->isChecked());
    EXPECT_TRUE(noChange->isChecked());
    EXPECT_TRUE(verify->isChecked());
    random->click();
    EXPECT_FALSE(noChange->isChecked());

    page.SetDlgItemText(IDC_MP_CARDNO, "42");
    EXPECT_EQ(qobject_cast<QLineEdit*>(page.GetDlgItem(IDC_MP_CARDNO))->text(), "42");
}

TEST(Dialog, EnterPressesTheDefaultButtonAndEscNeverClosesAChildDialog) {
    QWidget parent;
    CRecordingDialog page(IDD_OPMAIN);
    ASSERT_TRUE(page.Create(&parent));
    page.show();
    parent.show();
    QWidget* edit = page.GetDlgItem(IDC_EDIT_WRITE);
    edit->setFocus();

    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(page.m_Commands, std::vector<int>{IDC_BTN_READ});
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(page.m_Commands, (std::vector<int>{IDC_BTN_READ, IDC_BTN_READ}));

    QTest::keyClick(edit, Qt::Key_Escape);
    QTest::keyClick(&page, Qt::Key_Escape);
    EXPECT_TRUE(page.isVisible());
    EXPECT_EQ(page.m_Commands.size(), 2u);
}

TEST(Dialog, KeysGoThroughPreTranslateMessageInnermostDialogFirst) {
    std::vector<QString> calls;
    CRecordingDialog outer(IDD_RFID_DIALOG, &calls, "outer");
    ASSERT_TRUE(outer.CreateTopLevel());
    CRecordingDialog inner(IDD_OPMAIN, &calls, "inner");
    ASSERT_TRUE(inner.Create(&outer));
    inner.m_nSwallowKey = Qt::Key_A;
    outer.show();
    inner.show();
    auto* edit = qobject_cast<QLineEdit*>(inner.GetDlgItem(IDC_EDIT_READ));
    edit->setFocus();

    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(edit->text(), "");
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](const QString& c) { return c == "inner"; }));

    calls.clear();
    QTest::keyClick(edit, Qt::Key_B);
    EXPECT_EQ(edit->text(), "b");
    EXPECT_EQ(calls, (std::vector<QString>{"inner", "outer"}));

    // Swallowed by the outer window: the inner dialog and the edit see it first and last.
    outer.m_nSwallowKey = Qt::Key_C;
    QTest::keyClick(edit, Qt::Key_C);
    EXPECT_EQ(edit->text(), "b");
}

TEST(Dialog, ModalDialogEndsThroughOkButtonEnterAndEsc) {
    const auto runAbout = [](auto&& action) {
        CRecordingDialog about(IDD_ABOUTBOX);
        QTimer::singleShot(0, &about, [&] { action(about); });
        return about.DoModal();
    };
    EXPECT_EQ(runAbout([](CDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), IDCANCEL);
    EXPECT_EQ(runAbout([](CDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }), IDOK);
    EXPECT_EQ(runAbout([](CDialog& d) { qobject_cast<QPushButton*>(d.GetDlgItem(IDOK))->click(); }), IDOK);

    CDialog about(IDD_ABOUTBOX);
    ASSERT_TRUE(about.CreateTopLevel());
    EXPECT_TRUE(about.isWindow());
    EXPECT_EQ(about.windowTitle(), "About RFID");
    EXPECT_EQ(about.size(), QSize(255, 100));
    EXPECT_EQ(ChildIds(about), (std::vector<int>{IDC_STATIC, IDC_STATIC, IDC_STATIC, IDOK}));
    EXPECT_FALSE(LoadIconResource(IDR_MAINFRAME).isNull());
}

TEST(Dialog, MainWindowTemplateHasMenu137WithCommandIdsAboveItsClientArea) {
    CRecordingDialog main(IDD_RFID_DIALOG);
    ASSERT_TRUE(main.CreateTopLevel());
    QMenuBar* menuBar = main.GetMenu();
    ASSERT_NE(menuBar, nullptr);
    const QList<QAction*> popups = menuBar->actions();
    ASSERT_EQ(popups.size(), 2);
    EXPECT_EQ(popups[0]->text(), "File(&F)");
    EXPECT_EQ(popups[1]->text(), "Help(&H)");

    const QList<QAction*> file = popups[0]->menu()->actions();
    ASSERT_EQ(file.size(), 4);
    EXPECT_EQ(file[0]->data().toInt(), ID_MENU_READWRITE);
    EXPECT_EQ(file[0]->text(), "Read/Write");
    EXPECT_EQ(file[1]->data().toInt(), ID_MENU_MASSPRODUCTION);
    EXPECT_TRUE(file[2]->isSeparator());
    EXPECT_EQ(file[3]->data().toInt(), ID_MENU_EXIT);
    EXPECT_EQ(file[3]->text(), "Exit(&X)");
    EXPECT_EQ(popups[1]->menu()->actions().at(0)->data().toInt(), ID_MENU_ABOUT);

    EXPECT_EQ(main.GetClientRect().top(), main.MenuBarHeight());
    EXPECT_EQ(main.GetClientRect().size(), QSize(840, 520));

    popups[1]->menu()->actions().at(0)->trigger();
    EXPECT_EQ(main.m_Commands, std::vector<int>{ID_MENU_ABOUT});
}
