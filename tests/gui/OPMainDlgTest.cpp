#include "pages/OPMainDlg.h"
#include "gui/PageTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>

using ReadWritePage = PageFixture<COPMainDlg>;

TEST_F(ReadWritePage, TypingKeepsBothFieldsWithinTheLargestIdentifier) {
    for (int id : {COPMainDlg::IDC_EDIT_READ, COPMainDlg::IDC_EDIT_WRITE}) {
        const QString almost = QStringLiteral("109951162777");
        EXPECT_EQ(TypeAt(id, almost, 12, Qt::Key_5), almost + u'5');
        EXPECT_EQ(TypeAt(id, almost, 12, Qt::Key_6, Qt::KeypadModifier), almost);
        // Shift+1 is judged as the key 1 and types its own character; Shift+6 in front of the
        // largest identifier is the digit 6 there.
        EXPECT_EQ(TypeAt(id, QStringLiteral("12"), 2, Qt::Key_Exclam, Qt::ShiftModifier),
                  QStringLiteral("12!"));
        EXPECT_EQ(TypeAt(id, almost + u'5', 0, Qt::Key_AsciiCircum, Qt::ShiftModifier), almost + u'5');
    }
    QLineEdit* edit = Edit(COPMainDlg::IDC_EDIT_WRITE);
    edit->setText(QStringLiteral("1099511627775"));
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("9ab -"));
    QTest::keyClick(edit, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("9"));
}

TEST_F(ReadWritePage, ClipboardKeysWorkAndPastingIsNotFiltered) {
    QLineEdit* edit = Edit(COPMainDlg::IDC_EDIT_WRITE);
    QGuiApplication::clipboard()->setText(QStringLiteral("-99999999999999x"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("-99999999999999x"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QString());
}

TEST_F(ReadWritePage, EscapeIsSwallowedOnEveryControlWhileButtonsGetOtherKeys) {
    for (int id : {COPMainDlg::IDC_EDIT_READ, COPMainDlg::IDC_EDIT_WRITE, COPMainDlg::IDC_BUTTON_READ,
                   COPMainDlg::IDC_BUTTON_WRITE})
        EXPECT_TRUE(Swallows(id, Qt::Key_Escape)) << id;
    EXPECT_FALSE(Swallows(COPMainDlg::IDC_BUTTON_READ, Qt::Key_A));
    EXPECT_TRUE(Swallows(COPMainDlg::IDC_EDIT_READ, Qt::Key_A));
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

TEST_F(ReadWritePage, ApplyLanguageTranslatesThePageAsDialog136) {
    CMultiLanguage catalogue;
    catalogue.ProvideBuiltInLanguages();
    m_page->ApplyLanguage(QStringLiteral("\u7E41\u9AD4\u4E2D\u6587"));
    EXPECT_EQ(m_page->GetDlgItemText(COPMainDlg::IDC_BUTTON_READ), QStringLiteral("\u8B80\u53D6"));
    EXPECT_EQ(m_page->GetDlgItemText(COPMainDlg::IDC_BUTTON_WRITE), QStringLiteral("\u5BEB\u5165"));
}

TEST_F(ReadWritePage, BothFieldsShowA13DigitIdentifierAndNoTextIsCut) {
    for (int id : {COPMainDlg::IDC_EDIT_READ, COPMainDlg::IDC_EDIT_WRITE}) {
        EXPECT_TRUE(ShowsWhole(id, QStringLiteral("0078187493530"))) << id;
        EXPECT_FALSE(ShowsWhole(id, QStringLiteral("00781874935300000"))) << "a wider text scrolls";
    }
    ExpectControlTextsFit();
}
