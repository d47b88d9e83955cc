#include "pages/MPDlg.h"
#include "gui/PageTestSupport.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>

#include <map>

using MassProductionPage = PageFixture<CMPDlg>;

TEST_F(MassProductionPage, EachFieldKeepsItsOwnLimitAndPastingIsUnchecked) {
    EXPECT_EQ(TypeAt(CMPDlg::IDC_EDIT_VENDORID, QStringLiteral("25"), 2, Qt::Key_5), QStringLiteral("255"));
    EXPECT_EQ(TypeAt(CMPDlg::IDC_EDIT_VENDORID, QStringLiteral("25"), 2, Qt::Key_6), QStringLiteral("25"));
    EXPECT_EQ(TypeAt(CMPDlg::IDC_EDIT_CARDNO, QStringLiteral("25"), 2, Qt::Key_6), QStringLiteral("256"));
    EXPECT_EQ(TypeAt(CMPDlg::IDC_EDIT_CARDNO, QStringLiteral("4294967295"), 0, Qt::Key_1),
              QStringLiteral("4294967295"));
    EXPECT_EQ(TypeAt(CMPDlg::IDC_EDIT_CARDNO, QStringLiteral("4294967295"), 0, Qt::Key_0),
              QStringLiteral("04294967295"));
    for (int id : {CMPDlg::IDC_EDIT_VENDORID, CMPDlg::IDC_EDIT_CARDNO}) {
        QLineEdit* edit = Edit(id);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("1 a2Z"));
        QGuiApplication::clipboard()->setText(QStringLiteral("99999"));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), QStringLiteral("1299999")) << id;
    }
    EXPECT_TRUE(Swallows(CMPDlg::IDC_CHECK_VERIFY, Qt::Key_Escape));
    EXPECT_FALSE(Swallows(CMPDlg::IDC_CHECK_VERIFY, Qt::Key_Space));
}

TEST_F(MassProductionPage, StartsWithIncreaseAndVerifyAndReadsTheFirstTwoRadiosAtOnce) {
    auto button = [this](int id) { return qobject_cast<QAbstractButton*>(m_page->GetDlgItem(id)); };
    EXPECT_TRUE(button(CMPDlg::IDC_RADIO_INCREASE)->isChecked());
    EXPECT_TRUE(button(CMPDlg::IDC_CHECK_VERIFY)->isChecked());
    button(CMPDlg::IDC_RADIO_RANDOM)->click();
    EXPECT_EQ(m_page->m_nNumberMode, MODE_RANDOM);
    // "No Change" and "Verify" are read only when a card is written.
    button(CMPDlg::IDC_RADIO_NOCHANGE)->click();
    button(CMPDlg::IDC_CHECK_VERIFY)->click();
    EXPECT_EQ(m_page->m_nNumberMode, MODE_RANDOM);
    EXPECT_EQ(m_page->m_bVerify, 1);
    button(CMPDlg::IDC_RADIO_INCREASE)->click();
    EXPECT_EQ(m_page->m_nNumberMode, MODE_INCREASE);
    EXPECT_EQ(m_page->m_bVerify, 0);
}

TEST_F(MassProductionPage, ResizeCentresTheRowAndStretchesTheFrameAcrossTheTop) {
    QWidget* frame = m_page->GetDlgItem(CMPDlg::IDC_STATIC_FRAME);
    QWidget* vendor = Edit(CMPDlg::IDC_EDIT_VENDORID);
    QWidget* card = Edit(CMPDlg::IDC_EDIT_CARDNO);
    QWidget* write = m_page->GetDlgItem(CMPDlg::IDC_BUTTON_WRITE);
    const int frameHeight = frame->height();
    const QPoint vendorToCard = card->pos() - vendor->pos();
    const int options[] = {CMPDlg::IDC_RADIO_INCREASE, CMPDlg::IDC_RADIO_RANDOM, CMPDlg::IDC_RADIO_NOCHANGE,
                           CMPDlg::IDC_CHECK_VERIFY};
    std::map<int, QPoint> offsets;
    for (int id : options)
        offsets[id] = m_page->GetDlgItem(id)->pos() - frame->pos();

    for (const QSize size : {QSize(1000, 600), QSize(500, 300), QSize(200, 120)}) {
        m_page->resize(size);
        EXPECT_EQ(frame->geometry(), QRect(0, 0, size.width(), frameHeight));
        for (int id : options)
            EXPECT_EQ(m_page->GetDlgItem(id)->pos(), offsets[id]) << id;
        EXPECT_EQ((vendor->x() + write->x() + write->width()) / 2, size.width() / 2);
        EXPECT_EQ((vendor->y() + write->y() + write->height()) / 2, size.height() / 2 + frameHeight / 2);
        EXPECT_EQ(card->pos() - vendor->pos(), vendorToCard);
    }
}

TEST_F(MassProductionPage, ApplyLanguageTranslatesThePageAsDialog138) {
    CMultiLanguage catalogue;
    catalogue.ProvideBuiltInLanguages();
    m_page->ApplyLanguage(QStringLiteral("English"));
    EXPECT_EQ(m_page->GetDlgItemText(CMPDlg::IDC_RADIO_NOCHANGE), QStringLiteral("No change"));
    m_page->ApplyLanguage(QStringLiteral("\u7B80\u4F53\u4E2D\u6587"));
    EXPECT_EQ(m_page->GetDlgItemText(CMPDlg::IDC_BUTTON_WRITE), QStringLiteral("\u5199\u5165"));
    // The hands-free and batch texts are compiled in; the built-in files do not carry them.
    struct Texts {
        const char* language;
        const char* handsFree;
        const char* batch;
        const char* none;
    };
    const Texts compiledIn[] = {{"\u7B80\u4F53\u4E2D\u6587", "免手动", "批次:", "(无)"},
                                {"繁體中文", "免手動", "批次:", "(無)"},
                                {"English", "Hands-free", "Batch:", "(none)"}};
    for (const auto& [language, text, batch, none] : compiledIn) {
        m_page->ApplyLanguage(QString::fromUtf8(language));
        QWidget* check = m_page->GetDlgItem(CMPDlg::IDC_CHECK_HANDSFREE);
        EXPECT_EQ(m_page->GetDlgItemText(CMPDlg::IDC_CHECK_HANDSFREE), QString::fromUtf8(text));
        EXPECT_EQ(check->accessibleName(), QString::fromUtf8(text));
        EXPECT_EQ(m_page->GetDlgItemText(CMPDlg::IDC_STATIC_BATCH), QString::fromUtf8(batch));
        auto* choice = qobject_cast<QComboBox*>(m_page->GetDlgItem(CMPDlg::IDC_COMBO_BATCH));
        EXPECT_EQ(choice->accessibleName(), QString::fromUtf8(batch));
        EXPECT_EQ(choice->itemText(0), QString::fromUtf8(none));
        // A page without a journal offers no batch.
        EXPECT_EQ(choice->count(), 1);
        EXPECT_EQ(m_page->GetDlgItem(CMPDlg::IDC_BUTTON_WRITE)->accessibleName(),
                  m_page->GetDlgItemText(CMPDlg::IDC_BUTTON_WRITE));
    }
}

TEST_F(MassProductionPage, TheWidestNumbersShowWholeAndNoTextIsCut) {
    EXPECT_TRUE(ShowsWhole(CMPDlg::IDC_EDIT_VENDORID, QStringLiteral("255")));
    EXPECT_TRUE(ShowsWhole(CMPDlg::IDC_EDIT_CARDNO, QStringLiteral("4294967295")));
    ExpectControlTextsFit();
}
