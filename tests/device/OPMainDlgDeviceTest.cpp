#include "device/MainWindowFixture.h"

using ReadWriteOnReader = MainWindowFixture;

TEST_F(ReadWriteOnReader, ReadsInBothDisplayModesAndKeepsTheNumberWhenAReadFails) {
    Reader().PutCard(78187493530); // vendor ID 18, card number 878082202
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->ReadWritePage();
        QLineEdit* field = Edit(page, COPMainDlg::IDC_EDIT_READ);
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD SUCCESS\u221A [VENDOR ID:018 CARD NO.:0878082202]"));
        EXPECT_EQ(field->text(), QStringLiteral("0078187493530"));

        page.m_bIncludeVendor = 0;
        // Enter in a field presses the default button, Read.
        EXPECT_EQ(LogAdded([&] { QTest::keyClick(Edit(page, COPMainDlg::IDC_EDIT_WRITE), Qt::Key_Return); }),
                  QStringLiteral("\nREAD CARD SUCCESS\u221A"));
        EXPECT_EQ(field->text(), QStringLiteral("0000878082202"));

        Reader().SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::ShortReply, 1);
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD ERROR\u00D7"));
        Reader().RemoveCard();
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD ERROR\u00D7"));
        EXPECT_EQ(field->text(), QStringLiteral("0000878082202"));
    });
}

TEST_F(ReadWriteOnReader, WritesOnlyAFilledFieldWithinTheIdentifierRange) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->ReadWritePage();
        QLineEdit* field = Edit(page, COPMainDlg::IDC_EDIT_WRITE);
        auto write = [&] { return LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_WRITE); }); };
        EXPECT_EQ(write(), QString()); // empty field
        // Pasted text the card cannot hold, or that is no plain number, is never sent, and the log
        // says why.
        field->setText(QStringLiteral("1099511627776"));
        EXPECT_EQ(write(), QStringLiteral("\nWRITE CARD ERROR\u00D7 (out of range)"));
        for (const char* pasted : {"-1", "abc", "1.5e3", " 42xyz", "  "}) {
            field->setText(QString::fromLatin1(pasted));
            EXPECT_EQ(write(), QStringLiteral("\nWRITE CARD ERROR\u00D7 (not a number)")) << pasted;
        }
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 0);
        field->setText(QStringLiteral(" 42 "));
        EXPECT_EQ(write(), QStringLiteral("\nWRITE CARD SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), 42u);

        field->clear();
        QTest::keyClicks(field, QStringLiteral("10995116277759"));
        EXPECT_EQ(write(), QStringLiteral("\nWRITE CARD SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), 1099511627775ull);

        Reader().PutCard(5, CEmulatedReader::CARD_READ_ONLY);
        EXPECT_EQ(write(), QStringLiteral("\nWRITE CARD ERROR\u00D7"));
        EXPECT_EQ(Reader().CardId(), 5u);
    });
}

TEST_F(ReadWriteOnReader, ButtonsDoNothingWhileTheReaderIsNotReady) {
    Reader().PutCard(7);
    RunWithUnidentifiedReader([&] {
        COPMainDlg& page = m_dlg->ReadWritePage();
        Edit(page, COPMainDlg::IDC_EDIT_WRITE)->setText(QStringLiteral("42"));
        Click(page, COPMainDlg::IDC_BUTTON_READ);
        Click(page, COPMainDlg::IDC_BUTTON_WRITE);
        EXPECT_EQ(Log(), QStringLiteral("Disconnect!"));
        EXPECT_EQ(Reader().CountTransfers(REQUEST_READ_CARD) + Reader().CountTransfers(REQUEST_WRITE_CARD),
                  0);
    });
}

TEST_F(ReadWriteOnReader, ChosenNumberFormsFollowAGoodReadOnALineOfTheirOwn) {
    Reader().PutCard(78187493530);
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->ReadWritePage();
        page.m_nNumberForms = FORM_HEX | FORM_W26;
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD SUCCESS\u221A [VENDOR ID:018 CARD NO.:0878082202]"
                                 "\nHEX 123456789A  W26 086,30874"));
        // The card number alone in the field; the forms still are those of the whole identifier.
        page.m_bIncludeVendor = 0;
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD SUCCESS\u221A\nHEX 123456789A  W26 086,30874"));
        EXPECT_EQ(Edit(page, COPMainDlg::IDC_EDIT_READ)->text(), QStringLiteral("0000878082202"));
        Reader().RemoveCard();
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD ERROR\u00D7"));
    });
}
