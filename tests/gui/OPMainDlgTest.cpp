#include "pages/OPMainDlg.h"
#include "gui/PageTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>

using ReadWritePage = PageFixture<COPMainDlg>;

TEST_F(ReadWritePage, TypedDigitsStayWithinTheLargestIdentifier) {
    for (int id : {COPMainDlg::IDC_EDIT_READ, COPMainDlg::IDC_EDIT_WRITE}) {
        const QString almost = QStringLiteral("109951162777");
        EXPECT_EQ(TypeAt(id, almost, 12, Qt::Key_5), QStringLiteral("1099511627775"));
        EXPECT_EQ(TypeAt(id, almost, 12, Qt::Key_6), almost);
        EXPECT_EQ(TypeAt(id, almost, 12, Qt::Key_6, Qt::KeypadModifier), almost);
        const QString largest = QStringLiteral("1099511627775");
        EXPECT_EQ(TypeAt(id, largest, 0, Qt::Key_1), largest);
        EXPECT_EQ(TypeAt(id, largest, 0, Qt::Key_0), QStringLiteral("01099511627775"));
    }
}

TEST_F(ReadWritePage, SelectingAllAndTypingADigitReplacesTheText) {
    QLineEdit* edit = Edit(COPMainDlg::IDC_EDIT_WRITE);
    edit->setText(QStringLiteral("1099511627775"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_9);
    EXPECT_EQ(edit->text(), QStringLiteral("9"));
}

TEST_F(ReadWritePage, LettersSpaceMinusAndKeypadOperatorsNeverReachTheFields) {
    QLineEdit* edit = Edit(COPMainDlg::IDC_EDIT_WRITE);
    edit->setText(QStringLiteral("12"));
    edit->setCursorPosition(2);
    QTest::keyClicks(edit, QStringLiteral("ab -.,"));
    for (int key : {Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Asterisk, Qt::Key_Slash, Qt::Key_Period})
        QTest::keyClick(edit, Qt::Key(key), Qt::KeypadModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
}

TEST_F(ReadWritePage, ShiftedDigitIsJudgedAsItsDigitAndInsertsItsCharacter) {
    // Shift+1 is the key 1 (121 fits), and the field receives the character it types.
    EXPECT_EQ(TypeAt(COPMainDlg::IDC_EDIT_WRITE, QStringLiteral("12"), 2, Qt::Key_Exclam, Qt::ShiftModifier),
              QStringLiteral("12!"));
    // Shift+6 in front of the largest identifier is the digit 6 there: too large.
    EXPECT_EQ(TypeAt(COPMainDlg::IDC_EDIT_WRITE, QStringLiteral("1099511627775"), 0, Qt::Key_AsciiCircum,
                     Qt::ShiftModifier),
              QStringLiteral("1099511627775"));
}

TEST_F(ReadWritePage, ClipboardKeysWorkAndPastingIsNotFiltered) {
    QLineEdit* edit = Edit(COPMainDlg::IDC_EDIT_WRITE);
    QGuiApplication::clipboard()->setText(QStringLiteral("-99999999999999x"));
    edit->clear();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("-99999999999999x"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QString());
}

TEST_F(ReadWritePage, EscapeIsSwallowedOnEveryControlAndOtherButtonKeysGoOn) {
    for (int id : {COPMainDlg::IDC_EDIT_READ, COPMainDlg::IDC_EDIT_WRITE, COPMainDlg::IDC_BUTTON_READ,
                   COPMainDlg::IDC_BUTTON_WRITE})
        EXPECT_TRUE(Swallows(id, Qt::Key_Escape)) << id;
    // Keys for the buttons are not filtered: letters and Enter go on.
    EXPECT_FALSE(Swallows(COPMainDlg::IDC_BUTTON_READ, Qt::Key_A));
    EXPECT_FALSE(Swallows(COPMainDlg::IDC_BUTTON_READ, Qt::Key_Return));
    EXPECT_TRUE(Swallows(COPMainDlg::IDC_EDIT_READ, Qt::Key_A));
    QTest::keyClick(Edit(COPMainDlg::IDC_EDIT_READ), Qt::Key_Escape);
    EXPECT_TRUE(m_page->isVisible());
}

TEST_F(ReadWritePage, ControlsStayCentredAsOneGroupAfterResizes) {
    QWidget* read = Edit(COPMainDlg::IDC_EDIT_READ);
    QWidget* readButton = m_page->GetDlgItem(COPMainDlg::IDC_BUTTON_READ);
    QWidget* write = m_page->GetDlgItem(COPMainDlg::IDC_BUTTON_WRITE);
    const QPoint readToWrite = write->pos() - read->pos();
    const QPoint readToReadButton = readButton->pos() - read->pos();
    for (const QSize size : {QSize(900, 700), QSize(301, 151), QSize(120, 80)}) {
        m_page->resize(size);
        // The group runs from the read field's top-left to the Write button's bottom-right.
        EXPECT_EQ((read->x() + write->x() + write->width()) / 2, size.width() / 2) << size.width();
        EXPECT_EQ((read->y() + write->y() + write->height()) / 2, size.height() / 2) << size.height();
        EXPECT_EQ(write->pos() - read->pos(), readToWrite);
        EXPECT_EQ(readButton->pos() - read->pos(), readToReadButton);
    }
}

TEST_F(ReadWritePage, FieldsAndButtonsUseTheLargePageFont) {
    for (int id : {COPMainDlg::IDC_EDIT_READ, COPMainDlg::IDC_EDIT_WRITE, COPMainDlg::IDC_BUTTON_READ,
                   COPMainDlg::IDC_BUTTON_WRITE})
        EXPECT_EQ(m_page->GetDlgItem(id)->font().pointSizeF(), 24.0) << id;
    EXPECT_TRUE(qobject_cast<QPushButton*>(m_page->GetDlgItem(COPMainDlg::IDC_BUTTON_READ))->isDefault());
}

TEST_F(ReadWritePage, ApplyLanguageTranslatesThePageAsDialog136) {
    CMultiLanguage catalogue;
    catalogue.ProvideBuiltInLanguages();
    m_page->ApplyLanguage(QStringLiteral("\u7E41\u9AD4\u4E2D\u6587"));
    EXPECT_EQ(m_page->GetDlgItemText(COPMainDlg::IDC_BUTTON_READ), QStringLiteral("\u8B80\u53D6"));
    EXPECT_EQ(m_page->GetDlgItemText(COPMainDlg::IDC_BUTTON_WRITE), QStringLiteral("\u5BEB\u5165"));
}
