#include "device/MainWindowFixture.h"
#include "cards/NumberSequence.h"

#include <thread>

TEST_F(MassProductionOnReader, IncreaseRunWritesConsecutiveNumbersAndWrapsTo1) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("1"), CMPDlg::IDC_RADIO_INCREASE, false);
        for (quint64 card = 1; card <= 3; ++card) {
            EXPECT_EQ(PressEnter(), kWritten);
            EXPECT_EQ(Reader().CardId(), (1ull << 32) + card);
            EXPECT_EQ(CardNo()->text(), QStringLiteral("%1").arg(card + 1, 10, 10, QLatin1Char('0')));
        }
        EXPECT_EQ(Reader().CountTransfers(REQUEST_READ_CARD), 0); // no read-back without Verify

        CardNo()->setText(QStringLiteral("4294967295"));
        EXPECT_EQ(PressEnter(), kWritten);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000001"));
        // An empty card number with vendor ID 7 writes 7 * 2^32 and continues at 1.
        VendorId()->setText(QStringLiteral("7"));
        CardNo()->clear();
        EXPECT_EQ(PressEnter(), kWritten);
        EXPECT_EQ(Reader().CardId(), 30064771072ull);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000001"));
    });
}

TEST_F(MassProductionOnReader, RandomRunFollowsTheSeededGeneratorAndNoChangeKeepsTheTextAsTyped) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("200"), QStringLiteral("5"), CMPDlg::IDC_RADIO_RANDOM, false);
        Page().m_Random.Seed(2024);
        CRandomGenerator reference;
        reference.Seed(2024);
        for (int card = 0; card < 3; ++card) {
            const QString previous = CardNo()->text();
            EXPECT_EQ(PressEnter(), kWritten);
            EXPECT_EQ(Reader().CardId(), (200ull << 32) + previous.toULongLong());
            EXPECT_EQ(CardNo()->text(), NextCardNumber(MODE_RANDOM, previous, reference));
        }

        Prepare(QString(), QStringLiteral("42"), CMPDlg::IDC_RADIO_NOCHANGE, false);
        for (int card = 0; card < 2; ++card) {
            Reader().PutCard(0);
            EXPECT_EQ(PressEnter(), kWritten);
            EXPECT_EQ(Reader().CardId(), 42u);
            EXPECT_EQ(CardNo()->text(), QStringLiteral("42"));
        }
    });
}

TEST_F(MassProductionOnReader, VerifyReadsEachCardBackAndOnlyAMatchAdvancesTheNumber) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("18"), QStringLiteral("878082202"), CMPDlg::IDC_RADIO_INCREASE, true);
        EXPECT_EQ(PressEnter(), kWritten + QStringLiteral(" VERIFY SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), 78187493530ull);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0878082203"));

        // Identifier 0 written, read-back failing: an empty read-back is no match for 0.
        VendorId()->setText(QStringLiteral("0"));
        CardNo()->setText(QStringLiteral("0"));
        Reader().SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::Stall, 1);
        EXPECT_EQ(PressEnter(), kWritten + QStringLiteral(" VERIFY FAIL\u00D7"));
        EXPECT_EQ(Reader().CardId(), 0u);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0"));

        // A card that refuses programming: the reader rejects the frame, nothing is read back.
        Reader().PutCard(9, CEmulatedReader::CARD_READ_ONLY);
        Reader().ClearTransfers();
        EXPECT_EQ(PressEnter(), kWriteError);
        EXPECT_EQ(Reader().CountTransfers(REQUEST_READ_CARD), 0);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0"));
    });
}

TEST_F(MassProductionOnReader, ReplugDuringTheVerifyPauseFailsThatCardAndTheReaderIsReopenedForTheNext) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        Prepare(QStringLiteral("18"), QStringLiteral("878082202"), CMPDlg::IDC_RADIO_INCREASE, true);
        // The reader goes and comes back while the page waits for the card to settle.
        std::thread replug([&] {
            for (int waited = 0; Reader().ProgrammedCount() == 0 && waited < 5000; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            m_plugged->Unplug();
            m_plugged->Replug();
        });
        const QString added = PressEnter();
        replug.join();
        EXPECT_EQ(added, kWritten + QStringLiteral(" VERIFY FAIL\u00D7"));
        EXPECT_EQ(CardNo()->text(), QStringLiteral("878082202"));

        EXPECT_TRUE(
            QTest::qWaitFor([&] { return Log() == QStringLiteral("RFID Reader Version: 1.0.2"); }, 5000))
            << Log().toStdString();
        EXPECT_EQ(PressEnter(), kWritten + QStringLiteral(" VERIFY SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), 78187493530ull);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0878082203"));
    });
}

TEST_F(MassProductionOnReader, EmptyFieldsAndPastedNumbersOutOfRangeAreNeverWritten) {
    Reader().PutCard(3);
    RunWhenReady([&] {
        Prepare(QString(), QString(), CMPDlg::IDC_RADIO_INCREASE, false);
        EXPECT_EQ(PressEnter(), QString());
        VendorId()->setText(QStringLiteral("256"));
        CardNo()->setText(QStringLiteral("1"));
        EXPECT_EQ(PressEnter(), kWriteError + QStringLiteral(" (out of range)"));
        VendorId()->setText(QStringLiteral("1"));
        for (const char* card : {"4294967296", "-1"}) {
            CardNo()->setText(QString::fromLatin1(card));
            EXPECT_NE(PressEnter().indexOf(kWriteError + QStringLiteral(" (")), -1) << card;
            EXPECT_EQ(CardNo()->text(), QString::fromLatin1(card));
        }
        // Pasted text that is no plain number, in either field: refused with the reason, the number
        // stays where it was.
        for (const auto& [vendor, card] :
             {std::pair{"abc", "xyz"}, std::pair{"1", "1.5e3"}, std::pair{" 42xyz", "1"}}) {
            VendorId()->setText(QString::fromLatin1(vendor));
            CardNo()->setText(QString::fromLatin1(card));
            EXPECT_EQ(PressEnter(), kWriteError + QStringLiteral(" (not a number)")) << vendor << card;
            EXPECT_EQ(CardNo()->text(), QString::fromLatin1(card));
        }
        EXPECT_EQ(Reader().CountTransfers(REQUEST_WRITE_CARD), 0);
        EXPECT_EQ(Reader().CardId(), 3u);
    });
}

TEST_F(MassProductionOnReader, WriteDoesNothingWhileTheReaderIsNotReady) {
    Reader().PutCard(3);
    RunWithUnidentifiedReader([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("1"), CMPDlg::IDC_RADIO_INCREASE, true);
        QTest::keyClick(CardNo(), Qt::Key_Return);
        Click(Page(), CMPDlg::IDC_BUTTON_WRITE);
        EXPECT_EQ(Log(), QStringLiteral("Disconnect!"));
        EXPECT_EQ(Reader().CountTransfers(REQUEST_READ_CARD) + Reader().CountTransfers(REQUEST_WRITE_CARD),
                  0);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("1"));
    });
}

TEST_F(MassProductionOnReader, AGoodCardsLogLineCarriesTheChosenNumberForms) {
    Reader().PutCard(0);
    RunWhenReady([&] {
        Page().m_nNumberForms = FORM_DEZ10 | FORM_5_5;
        Prepare(QStringLiteral("18"), QStringLiteral("878082202"), CMPDlg::IDC_RADIO_INCREASE, true);
        EXPECT_EQ(PressEnter(),
                  kWritten + QStringLiteral(" VERIFY SUCCESS\u221A  DEZ10 0878082202  5.5 13398,30874"));
        SetOption(CMPDlg::IDC_CHECK_VERIFY, false);
        EXPECT_EQ(PressEnter(), kWritten + QStringLiteral("  DEZ10 0878082203  5.5 13398,30875"));
        // A card that failed has no forms: it does not hold the number.
        Reader().PutCard(9, CEmulatedReader::CARD_READ_ONLY);
        EXPECT_EQ(PressEnter(), kWriteError);
    });
}
