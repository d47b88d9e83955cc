// The batch choice of the Mass Production page in the real main window against the emulated reader, with
// the window's own SQLite journal holding the batches.

#include "tests/support/JournalTestSupport.h"
#include "device/MainWindowFixture.h"
#include "batches/Batch.h"
#include "batches/BatchStation.h"
#include "journal/JournalRecorder.h"
#include "journal/JournalSettings.h"
#include "pages/PageBatch.h"
#include "tests/support/TestDatabase.h"

#include <QComboBox>
#include <QProgressBar>
#include <QFile>

class BatchOnReader : public HandsFreeOnReader {
protected:
    static constexpr std::uint64_t kVendor7 = 7ull << 32;

    QString JournalPath() const { return m_appFolder.filePath(QString::fromLatin1(JOURNAL_FILE_NAME)); }
    // A range batch of vendor 7 in the window's journal, made beside the window as rfidctl does.
    void CreateBatch(const QString& name, std::uint32_t first, std::uint32_t last) {
        const auto journal = journaltest::OpenOrFail(JournalPath());
        ASSERT_TRUE(journal);
        QString error;
        ASSERT_TRUE(
            CreateRangeBatch(journal->Database(), name, {7, first, last, BatchOrder::InOrder}, &error))
            << error.toStdString();
    }
    BatchCounts Counts(const QString& name) {
        const auto journal = journaltest::OpenOrFail(JournalPath());
        QString error;
        const std::optional<BatchInfo> info = FindBatch(journal->Database(), name, &error);
        EXPECT_TRUE(info) << error.toStdString();
        return info ? info->counts : BatchCounts();
    }

    QComboBox* Choice() { return qobject_cast<QComboBox*>(Page().GetDlgItem(CMPDlg::IDC_COMBO_BATCH)); }
    // The batch's progress bar as it reads: good of total, then the time to finish while one is known.
    QString CountsLine() { return Page().GetDlgItem(CMPDlg::IDC_STATIC_BATCHCOUNTS)->accessibleName(); }
    // Chooses as the operator does: the list is read when it is opened, then an entry is taken.
    void Choose(const QString& text) {
        Page().RefreshBatchList();
        const int index = Choice()->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        Choice()->setCurrentIndex(index);
        emit Choice()->activated(index);
    }
    QString Station() { return m_dlg->Recorder()->Settings().station; }
    bool StationRuns() {
        const auto journal = journaltest::OpenOrFail(JournalPath());
        QString who, error;
        return StationIsLive(journal->Database(), Station(), &who, &error);
    }
    // Chooses the batch and starts a hands-free run from it, polling fast.
    void StartBatchRun(const QString& batch) {
        Prepare(QStringLiteral("1"), QStringLiteral("50"), CMPDlg::IDC_RADIO_INCREASE, false);
        Choose(batch);
        SetOption(CMPDlg::IDC_CHECK_HANDSFREE, true);
        Page().m_RunTimer.setInterval(20);
        Option(CMPDlg::IDC_BUTTON_WRITE)->click();
    }
    QString PressWrite() {
        return LogAdded([&] { Option(CMPDlg::IDC_BUTTON_WRITE)->click(); });
    }
};

TEST_F(BatchOnReader, WritePressesWriteTheClaimedNumbersOneAfterAnotherUntilTheBatchIsExhausted) {
    CreateBatch(QStringLiteral("order 1"), 100, 104);
    RunWhenReady([&] {
        Reader().PutCard(0);
        Prepare(QStringLiteral("1"), QStringLiteral("50"), CMPDlg::IDC_RADIO_INCREASE, true);
        ASSERT_EQ(Choice()->count(), 2);
        EXPECT_EQ(Choice()->itemText(0), QStringLiteral("(none)"));
        EXPECT_EQ(Choice()->accessibleName(), Page().GetDlgItemText(CMPDlg::IDC_STATIC_BATCH));
        Choose(QStringLiteral("order 1"));
        EXPECT_TRUE(StationRuns());
        EXPECT_EQ(VendorId()->text(), QStringLiteral("7"));
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000100"));
        EXPECT_TRUE(VendorId()->isReadOnly() && CardNo()->isReadOnly());
        QTest::keyClicks(CardNo(), QStringLiteral("9"));
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000100"));
        EXPECT_FALSE(Option(CMPDlg::IDC_RADIO_INCREASE)->isEnabled());
        EXPECT_EQ(CountsLine(), QStringLiteral("0 of 5 good"));

        for (std::uint64_t card = 100; card < 103; ++card) {
            Reader().PutCard(0);
            EXPECT_EQ(PressWrite(), kWritten + QStringLiteral(" VERIFY SUCCESS\u221A"));
            EXPECT_EQ(Reader().CardId(), kVendor7 + card);
        }
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000103"));
        EXPECT_TRUE(CountsLine().startsWith(QStringLiteral("3 of 5 good \u00B7 ")) && CountsLine().endsWith(" to finish"))
            << CountsLine().toStdString();
        auto* bar = qobject_cast<QProgressBar*>(Page().GetDlgItem(CMPDlg::IDC_STATIC_BATCHCOUNTS));
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->value(), 60);
        EXPECT_LE(bar->fontMetrics().horizontalAdvance(bar->text()), bar->width()) << bar->text().toStdString();

        // A failed write keeps the claim: the field keeps the number, and the next card gets it.
        Reader().PutCard(0);
        Reader().SetFault(REQUEST_WRITE_CARD, CEmulatedReader::Fault::Stall, 1);
        EXPECT_EQ(PressWrite(), kWriteError);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000103"));
        EXPECT_EQ(PressWrite(), kWritten + QStringLiteral(" VERIFY SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), kVendor7 + 103);

        // "(none)" gives the fields back as they were typed and stops the station; its claim stays.
        Choose(QStringLiteral("(none)"));
        EXPECT_FALSE(StationRuns());
        EXPECT_EQ(CardNo()->text(), QStringLiteral("50"));
        EXPECT_FALSE(CardNo()->isReadOnly());
        EXPECT_TRUE(Option(CMPDlg::IDC_RADIO_INCREASE)->isEnabled());
        EXPECT_TRUE(CountsLine().isEmpty() ||
                    !Page().GetDlgItem(CMPDlg::IDC_STATIC_BATCHCOUNTS)->isVisible());
        Reader().PutCard(0);
        EXPECT_EQ(PressWrite(), kWritten + QStringLiteral(" VERIFY SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), (1ull << 32) + 50);
        EXPECT_EQ(Counts(QStringLiteral("order 1")).claimed, 1);

        Choose(QStringLiteral("order 1"));
        EXPECT_EQ(CardNo()->text(), QStringLiteral("0000000104"));
        Reader().PutCard(0);
        PressWrite();
        EXPECT_EQ(Reader().CardId(), kVendor7 + 104);
        EXPECT_TRUE(CardNo()->text().isEmpty());
        EXPECT_EQ(CountsLine(), QStringLiteral("5 of 5 good"));
        const int programmed = Reader().ProgrammedCount();
        Reader().PutCard(0);
        EXPECT_EQ(PressWrite(), kWriteError + QStringLiteral(" (every number of the batch is taken)"));
        EXPECT_EQ(Reader().ProgrammedCount(), programmed);
    });
    const BatchCounts counts = Counts(QStringLiteral("order 1"));
    EXPECT_EQ(counts.verified, 5);
    EXPECT_EQ(counts.claimed, 0);
    // Each batch card is in the journal once as written and once as verified; the failed write as an error.
    const auto journal = journaltest::OpenOrFail(JournalPath());
    int batchWrites = 0, errors = 0;
    for (const JournalRecord& record : journaltest::RecordsOldestFirst(*journal)) {
        if (record.operation == JournalOperation::Write && record.identifier &&
            (*record.identifier >> 32) == 7)
            (record.result == JournalResult::Ok ? batchWrites : errors) += 1;
    }
    EXPECT_EQ(batchWrites, 5);
    EXPECT_EQ(errors, 1);
}

TEST_F(BatchOnReader, AStationNameInUseIsRefusedAndTheChoiceGoesBackToNone) {
    CreateBatch(QStringLiteral("order 2"), 1, 10);
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("50"), CMPDlg::IDC_RADIO_INCREASE, false);
        // Another running station under the same name, as a second program on this host would be.
        const auto other = journaltest::OpenOrFail(JournalPath());
        CBatchStation running(other->Database(), Station());
        ASSERT_EQ(running.Start().status, BatchStatus::Ok);
        const QString added = LogAdded([&] { Choose(QStringLiteral("order 2")); });
        EXPECT_TRUE(added.contains(QStringLiteral("is used by another running station")))
            << added.toStdString();
        EXPECT_EQ(Choice()->currentIndex(), 0);
        EXPECT_EQ(Page().ChosenBatch(), nullptr);
        EXPECT_EQ(CardNo()->text(), QStringLiteral("50"));
        EXPECT_FALSE(CardNo()->isReadOnly());
        running.Stop();
    });
}

TEST_F(BatchOnReader, AHandsFreeRunWritesEveryNumberOnceAndStopsWhenTheBatchIsExhausted) {
    CreateBatch(QStringLiteral("order 3"), 20, 22);
    RunWhenReady([&] {
        StartBatchRun(QStringLiteral("order 3"));
        ASSERT_TRUE(Page().IsHandsFreeRunning());
        for (std::uint64_t card = 20; card <= 22; ++card) {
            LayCard(0);
            EXPECT_EQ(Reader().CardId(), kVendor7 + card);
            if (card < 22)
                TakeCardAway();
        }
        EXPECT_FALSE(Page().IsHandsFreeRunning());
        EXPECT_EQ(State(), QStringLiteral("Stopped: every number of the batch is taken"));
        EXPECT_EQ(Reader().ProgrammedCount(), 3);
        EXPECT_EQ(CountsLine(), QStringLiteral("3 of 3 good"));
        // The state line and the counts follow a language change at once.
        m_dlg->ApplyLanguage(QStringLiteral("\u7B80\u4F53\u4E2D\u6587"));
        EXPECT_EQ(State(), QStringLiteral("已停止：批次的卡号已全部用完"));
        EXPECT_EQ(CountsLine(), QStringLiteral("良品 3 / 3"));
        m_dlg->ApplyLanguage(QStringLiteral("English"));
        EXPECT_EQ(State(), QStringLiteral("Stopped: every number of the batch is taken"));
        // Pressing Write again with nothing left does not start a run.
        Option(CMPDlg::IDC_BUTTON_WRITE)->click();
        EXPECT_FALSE(Page().IsHandsFreeRunning());
    });
    EXPECT_EQ(Counts(QStringLiteral("order 3")).written, 3);
}

TEST_F(BatchOnReader, OnAServerANameInUseIsRefusedUntilItsStationStops) {
    if (!CPgServer::IsInstalled())
        GTEST_SKIP() << "PostgreSQL 15 is not installed";
    CTestDatabase database(JournalEngine::PostgreSQL);
    ASSERT_TRUE(database.IsReady()) << database.Error().toStdString();
    QSqlDatabase db = database.Open(QStringLiteral("other-station"));
    QString error;
    ASSERT_TRUE(CreateRangeBatch(db, QStringLiteral("server order"), {7, 1, 3, BatchOrder::InOrder}, &error))
        << error.toStdString();
    QFile ini(m_appFolder.filePath(QStringLiteral("setting.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(("[Journal]\nStation=line-1\nDatabase=" + database.Text() + "\n").toUtf8());
    ini.close();
    CBatchStation other(db, QStringLiteral("line-1"));
    ASSERT_EQ(other.Start().status, BatchStatus::Ok);
    RunWhenReady([&] {
        Reader().PutCard(0);
        Prepare(QStringLiteral("1"), QStringLiteral("50"), CMPDlg::IDC_RADIO_INCREASE, false);
        const QString added = LogAdded([&] { Choose(QStringLiteral("server order")); });
        EXPECT_TRUE(added.contains(QStringLiteral("line-1 is used by another running station")))
            << added.toStdString();
        EXPECT_EQ(Page().ChosenBatch(), nullptr);
        other.Stop();
        Choose(QStringLiteral("server order"));
        ASSERT_NE(Page().ChosenBatch(), nullptr);
        EXPECT_EQ(PressWrite(), kWritten);
        EXPECT_EQ(Reader().CardId(), kVendor7 + 1);
        EXPECT_TRUE(CountsLine().startsWith(QStringLiteral("1 of 3 good"))) << CountsLine().toStdString();
    });
}

TEST_F(BatchOnReader, AGoodBatchCardWrittenOverOnTheReadWritePageGivesItsNumberBackForTheNextBatchCard) {
    CreateBatch(QStringLiteral("order 2"), 100, 101);
    RunWhenReady([&] {
        Prepare(QStringLiteral("1"), QStringLiteral("50"), CMPDlg::IDC_RADIO_INCREASE, true);
        Choose(QStringLiteral("order 2"));
        for (int card = 0; card < 2; ++card) {
            Reader().PutCard(0);
            PressWrite();
        }
        ASSERT_EQ(Reader().CardId(), kVendor7 + 101);
        EXPECT_EQ(Counts(QStringLiteral("order 2")).verified, 2);

        // The operator writes another number over the last batch card on purpose.
        m_dlg->ShowPage(0);
        COPMainDlg& page = m_dlg->ReadWritePage();
        Edit(page, COPMainDlg::IDC_EDIT_WRITE)->setText(QStringLiteral("555"));
        EXPECT_EQ(LogAdded([&] { Click(page, COPMainDlg::IDC_BUTTON_WRITE); }),
                  kWritten + QStringLiteral(" (the card held good card %1; recorded as overwritten)")
                                 .arg(CardIdText(kVendor7 + 101)));
        const BatchCounts back = Counts(QStringLiteral("order 2"));
        EXPECT_EQ(back.verified, 1);
        EXPECT_EQ(back.Done(), 1);
        const auto journal = journaltest::OpenOrFail(JournalPath());
        const JournalRecord overwrite = journaltest::RecordsOldestFirst(*journal).back();
        EXPECT_EQ(overwrite.operation, JournalOperation::Overwrite);
        EXPECT_EQ(overwrite.identifier, kVendor7 + 101);
        EXPECT_EQ(overwrite.reason, QStringLiteral("overwritten with 0000000000555; back to batch order 2"));
        QString error;
        EXPECT_FALSE(journal->FindGoodCard(kVendor7 + 101, &error));

        // The next batch card gets the number again.
        m_dlg->ShowPage(1);
        Reader().PutCard(0);
        EXPECT_EQ(PressWrite(), kWritten + QStringLiteral(" VERIFY SUCCESS\u221A"));
        EXPECT_EQ(Reader().CardId(), kVendor7 + 101);
        EXPECT_EQ(Counts(QStringLiteral("order 2")).verified, 2);
        EXPECT_TRUE(journal->FindGoodCard(kVendor7 + 101, &error));
    });
}

TEST_F(BatchOnReader, AFinishedBatchCardLaidAgainInAHandsFreeRunIsLeftAsItIsAndClaimsNothing) {
    CreateBatch(QStringLiteral("order 3"), 200, 209);
    RunWhenReady([&] {
        StartBatchRun(QStringLiteral("order 3"));
        LayCard(0);
        EXPECT_EQ(Reader().CardId(), kVendor7 + 200);
        TakeCardAway();
        LayCard(kVendor7 + 200); // the finished card, picked from the wrong pile
        EXPECT_EQ(State(), QStringLiteral("Already written: %1. Take the card away.").arg(CardIdText(kVendor7 + 200)));
        EXPECT_EQ(Reader().ProgrammedCount(), 1);
        TakeCardAway();
        LayCard(0);
        EXPECT_EQ(Reader().CardId(), kVendor7 + 201);
        const BatchCounts counts = Counts(QStringLiteral("order 3"));
        EXPECT_EQ(counts.written, 2);
        EXPECT_EQ(counts.claimed, 1); // the number the next card gets
        const auto journal = journaltest::OpenOrFail(JournalPath());
        QString error;
        EXPECT_EQ(journal->Totals({}, &error)->refused, 1);
    });
}
