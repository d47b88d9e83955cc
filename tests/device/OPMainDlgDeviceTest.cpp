#include "device/MainWindowFixture.h"

using ReadWriteOnReader = MainWindowFixture;

namespace {
constexpr quint64 kExampleId = 78187493530; // vendor ID 18, card number 878082202
}

TEST_F(ReadWriteOnReader, ReadsInBothDisplayModesOneLogLineEach) {
    Reader().PutCard(kExampleId);
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->m_OPMainDlg;
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD SUCCESS\u221A [VENDOR ID:018 CARD NO.:0878082202]"));
        EXPECT_EQ(Edit(page, COPMainDlg::IDC_EDIT_READ)->text(), QStringLiteral("0078187493530"));

        page.m_bIncludeVendor = 0;
        // Enter in a field presses the default button, Read.
        EXPECT_EQ(LogAdded([&] { QTest::keyClick(Edit(page, COPMainDlg::IDC_EDIT_WRITE), Qt::Key_Return); }),
                  QStringLiteral("\nREAD CARD SUCCESS\u221A"));
        EXPECT_EQ(Edit(page, COPMainDlg::IDC_EDIT_READ)->text(), QStringLiteral("0000878082202"));
    });
}

TEST_F(ReadWriteOnReader, FailedReadKeepsThePreviousNumber) {
    Reader().PutCard(kExampleId);
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->m_OPMainDlg;
        Click(page, COPMainDlg::IDC_BUTTON_READ);
        Reader().RemoveCard();
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD ERROR\u00D7"));
        Reader().PutCard(1);
        Reader().SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::ShortReply, 1);
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_READ); }),
                  QStringLiteral("\nREAD CARD ERROR\u00D7"));
        EXPECT_EQ(Edit(page, COPMainDlg::IDC_EDIT_READ)->text(), QStringLiteral("0078187493530"));
    });
}

TEST_F(ReadWriteOnReader, WritesTheTypedIdentifierAndReportsARefusal) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->m_OPMainDlg;
        QLineEdit* edit = Edit(page, COPMainDlg::IDC_EDIT_WRITE);
        QTest::keyClicks(edit, QStringLiteral("10995116277759"));
        EXPECT_EQ(edit->text(), QStringLiteral("1099511627775"));
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_WRITE); }),
                  QStringLiteral("\nWRITE CARD SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), 1099511627775ull);

        Reader().PutCard(5, CEmulatedReader::CARD_READ_ONLY);
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_WRITE); }),
                  QStringLiteral("\nWRITE CARD ERROR\u00D7"));
        EXPECT_EQ(Reader().CardId(), 5u);
    });
}

TEST_F(ReadWriteOnReader, PastedIdentifierBeyondTheRangeIsNeverSent) {
    Reader().PutCard(7);
    RunWhenReady([&] {
        COPMainDlg& page = m_dlg->m_OPMainDlg;
        for (const char* pasted : {"1099511627776", "-1"}) {
            Edit(page, COPMainDlg::IDC_EDIT_WRITE)->setText(QString::fromLatin1(pasted));
            EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_WRITE); }),
                      QStringLiteral("\nWRITE CARD ERROR\u00D7"));
        }
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 0);
        EXPECT_EQ(Reader().CardId(), 7u);
    });
}

TEST_F(ReadWriteOnReader, EmptyWriteFieldWritesNothing) {
    Reader().PutCard(7);
    RunWhenReady([&] {
        EXPECT_EQ(LogAdded([&] { Click(m_dlg->m_OPMainDlg, COPMainDlg::IDC_BUTTON_WRITE); }), QString());
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 0);
    });
}

TEST_F(ReadWriteOnReader, ButtonsDoNothingWhileTheReaderIsNotReady) {
    Reader().PutCard(7);
    RunWithUnidentifiedReader([&] {
        COPMainDlg& page = m_dlg->m_OPMainDlg;
        Edit(page, COPMainDlg::IDC_EDIT_WRITE)->setText(QStringLiteral("42"));
        Click(page, COPMainDlg::IDC_BUTTON_READ);
        Click(page, COPMainDlg::IDC_BUTTON_WRITE);
        EXPECT_EQ(Log(), QStringLiteral("Disconnect!"));
        EXPECT_EQ(Reader().CountTransfers(REQUEST_READ_CARD) + Reader().CountTransfers(REQUEST_WRITE_CARD),
                  0);
        EXPECT_EQ(Edit(page, COPMainDlg::IDC_EDIT_READ)->text(), QString());
    });
}
