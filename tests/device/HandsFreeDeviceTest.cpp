// Hands-free runs of the Mass Production page in the real main window against the emulated reader: the
// test lays cards on the reader and takes them away as an operator does, and the page does the rest.

#include "tests/support/JournalTestSupport.h"
#include "device/MainWindowFixture.h"
#include "journal/JournalSettings.h"
#include "pages/NumberSequence.h"

#include <QPlainTextEdit>

namespace {
constexpr std::uint64_t kVendor1 = 1ull << 32;
} // namespace

TEST_F(HandsFreeOnReader, AHundredCardsEachGetTheirConsecutiveNumberAndNoneIsWrittenTwice) {
    RunWhenReady([&] {
        StartRun(QStringLiteral("1000"), false, 20);
        for (std::uint64_t card = 1000; card < 1100; ++card) {
            LayCard(0);
            ASSERT_EQ(Reader().CardId(), kVendor1 + card);
            ASSERT_EQ(State(), QStringLiteral("Good %1").arg(CardIdText(kVendor1 + card)));
            TakeCardAway();
        }
        EXPECT_EQ(Reader().ProgrammedCount(), 100);
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 100);
        EXPECT_EQ(LogLinesWith(kWritten), 100);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000001100"));
        EXPECT_TRUE(Page().IsHandsFreeRunning());
        EXPECT_EQ(State(), QStringLiteral("Waiting for a card"));
        // The journal holds each card as the run wrote it, in order.
        const auto journal =
            journaltest::OpenOrFail(m_appFolder.filePath(QString::fromLatin1(JOURNAL_FILE_NAME)));
        const std::vector<JournalRecord> records = journaltest::RecordsOldestFirst(*journal);
        ASSERT_EQ(records.size(), 100u);
        for (std::uint64_t card = 0; card < 100; ++card) {
            EXPECT_EQ(records[card].result, JournalResult::Ok);
            EXPECT_EQ(records[card].identifier, kVendor1 + 1000 + card);
        }
    });
}

TEST_F(HandsFreeOnReader, ACardLeftOnTheReaderIsWrittenOnceWhileTheWindowKeepsAnswering) {
    RunWhenReady([&] {
        StartRun(QStringLiteral("5"), true);
        EXPECT_EQ(State(), QStringLiteral("Waiting for a card"));
        LayCard(77);
        EXPECT_EQ(Reader().CardId(), kVendor1 + 5);
        EXPECT_EQ(Log().count(kWritten + QStringLiteral(" VERIFY SUCCESS\u221A")), 1);

        // The card stays; meanwhile the operator types and the window handles what is posted to it.
        bool bPostedRan = false;
        QTimer::singleShot(0, m_dlg.get(), [&] { bPostedRan = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return bPostedRan; }, 1000));
        CardNo()->setFocus();
        CardNo()->end(false);
        QTest::keyClicks(CardNo(), QStringLiteral("9"));
        EXPECT_EQ(CardNo()->text(), QStringLiteral("00000000069"));
        QTest::qWait(1500);
        EXPECT_EQ(Reader().ProgrammedCount(), 1);
        EXPECT_EQ(Phase(), CHandsFreeRun::Phase::WaitingForRemoval);
        EXPECT_EQ(State(), QStringLiteral("Good %1").arg(CardIdText(kVendor1 + 5)));

        // Taken away and laid again, the finished card is left as it is and the state line says so; it
        // counts neither as good nor as failed. The next blank card gets the number the field holds.
        TakeCardAway();
        LayCard(kVendor1 + 5);
        EXPECT_EQ(Reader().ProgrammedCount(), 1);
        EXPECT_EQ(State(), QStringLiteral("Already written: %1. Take the card away.").arg(CardIdText(kVendor1 + 5)));
        EXPECT_EQ(Page().m_Run.GetFailuresInARow(), 0);
        QTest::qWait(500);
        EXPECT_EQ(Reader().ProgrammedCount(), 1);
        TakeCardAway();
        LayCard(77);
        EXPECT_EQ(Reader().CardId(), kVendor1 + 69);
        TakeCardAway();
        // Cards that do not read at all need the Write button: said after a while without any card.
        EXPECT_TRUE(QTest::qWaitFor([&] { return State().contains(QStringLiteral("Hands-free off")); }, 8000))
            << State().toStdString();
    });
}

TEST_F(HandsFreeOnReader, AReadOnlyCardAndAStalledWriteKeepTheNumberAndTheRunGoesOn) {
    RunWhenReady([&] {
        StartRun(QStringLiteral("7"), false, 20);
        LayCard(0);
        TakeCardAway();
        LayCard(9, CEmulatedReader::CARD_READ_ONLY);
        EXPECT_EQ(State(), QStringLiteral("Failed: write error"));
        EXPECT_EQ(Reader().CardId(), 9u);
        TakeCardAway();
        Reader().SetFault(REQUEST_WRITE_CARD, CEmulatedReader::Fault::Stall, 1);
        LayCard(0);
        EXPECT_EQ(Reader().CardId(), 0u);
        TakeCardAway();
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000008"));
        LayCard(0);
        EXPECT_EQ(Reader().CardId(), kVendor1 + 8);
        EXPECT_EQ(LogLinesWith(kWriteError), 2);
        EXPECT_TRUE(Page().IsHandsFreeRunning());
        EXPECT_EQ(Page().m_Run.GetFailuresInARow(), 0);
    });
}

TEST_F(HandsFreeOnReader, ThreeFailedCardsInARowStopTheRunAndAFailedCardLeftLyingIsTriedOnce) {
    RunWhenReady([&] {
        StartRun(QStringLiteral("7"), true, 20);
        LayCard(9, CEmulatedReader::CARD_READ_ONLY);
        QTest::qWait(300);
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 1);
        TakeCardAway();
        // A card that takes the frame but cannot be read back after the pause.
        Reader().SetSettleTimeMs(2000);
        LayCard(0);
        EXPECT_EQ(State(), QStringLiteral("Failed: verify failed"));
        TakeCardAway();
        EXPECT_TRUE(Page().IsHandsFreeRunning());
        Reader().SetSettleTimeMs(0);
        LayCard(9, CEmulatedReader::CARD_READ_ONLY);
        EXPECT_FALSE(Page().IsHandsFreeRunning());
        EXPECT_EQ(Page().m_Run.GetStopReason(), CHandsFreeRun::StopReason::Failures);
        EXPECT_EQ(State(), QStringLiteral("Stopped: three failed cards in a row"));
        EXPECT_EQ(WriteText(), QStringLiteral("Write"));
        EXPECT_EQ(CardNo()->text(), QStringLiteral("7"));
    });
}

TEST_F(HandsFreeOnReader, StopUncheckingEscapeAnotherPageAndAnUnplugEachEndTheRun) {
    RunWhenReady([&] {
        StartRun(QStringLiteral("1"), false);
        EXPECT_EQ(Option(CMPDlg::IDC_BUTTON_WRITE)->accessibleName(), QStringLiteral("Stop"));
        Option(CMPDlg::IDC_BUTTON_WRITE)->click();
        EXPECT_FALSE(Page().IsHandsFreeRunning());
        EXPECT_EQ(WriteText(), QStringLiteral("Write"));
        EXPECT_EQ(Option(CMPDlg::IDC_BUTTON_WRITE)->accessibleName(), QStringLiteral("Write"));
        EXPECT_EQ(State(), QStringLiteral("Stopped"));
        EXPECT_EQ(Page().m_labelRunState->accessibleName(), State());

        StartRun(QStringLiteral("1"), false);
        SetOption(CMPDlg::IDC_CHECK_HANDSFREE, false);
        EXPECT_FALSE(Page().IsHandsFreeRunning());

        // Escape stops a run wherever the focus is in the window, and never closes the page.
        StartRun(QStringLiteral("1"), false);
        QTest::keyClick(CardNo(), Qt::Key_Escape);
        EXPECT_FALSE(Page().IsHandsFreeRunning());
        StartRun(QStringLiteral("1"), false);
        QTest::keyClick(m_dlg->log, Qt::Key_Escape);
        EXPECT_FALSE(Page().IsHandsFreeRunning());
        EXPECT_TRUE(m_dlg->isVisible());

        // A card laid while the operator is on the other page is not written.
        StartRun(QStringLiteral("1"), false);
        m_dlg->ShowPage(0);
        EXPECT_FALSE(Page().IsHandsFreeRunning());
        Reader().PutCard(0);
        QTest::qWait(300);
        EXPECT_EQ(Reader().ProgrammedCount(), 0);
        Reader().RemoveCard();

        // Fields that hold no identifier do not start a run.
        m_dlg->ShowPage(1);
        CardNo()->setText(QStringLiteral("4294967296"));
        Option(CMPDlg::IDC_BUTTON_WRITE)->click();
        EXPECT_FALSE(Page().IsHandsFreeRunning());
        EXPECT_EQ(State(), QStringLiteral("Failed: the fields hold no card number"));

        StartRun(QStringLiteral("1"), false);
        m_plugged->Unplug();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Page().IsHandsFreeRunning(); }, 3000));
        EXPECT_EQ(Page().m_Run.GetStopReason(), CHandsFreeRun::StopReason::ReaderGone);
        EXPECT_EQ(State(), QStringLiteral("Stopped: the reader is gone"));
        EXPECT_EQ(WriteText(), QStringLiteral("Write"));
    });
}

TEST_F(HandsFreeOnReader, ARunStartedOnACardJustWrittenByWriteLeavesItAsItIs) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("20"), CMPDlg::IDC_RADIO_INCREASE, false);
        EXPECT_EQ(PressEnter(), kWritten);
        StartRun(QStringLiteral("21"), false, 20);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Phase() == CHandsFreeRun::Phase::WaitingForRemoval; }, 5000));
        EXPECT_EQ(State(), QStringLiteral("Already written: %1. Take the card away.").arg(CardIdText(kVendor1 + 20)));
        EXPECT_EQ(Reader().ProgrammedCount(), 1);
        EXPECT_EQ(Reader().CardId(), kVendor1 + 20);
        TakeCardAway();
        LayCard(0);
        EXPECT_EQ(Reader().CardId(), kVendor1 + 21);
        EXPECT_EQ(State(), QStringLiteral("Good %1").arg(CardIdText(kVendor1 + 21)));
    });
}
