// The one card routine with its two sources on the in-process bus and a real journal file: the guard of
// the card on the reader, what is recorded at each step, and that fields and batches pass the same way.

#include "batches/Batch.h"
#include "emulator/FakeUsbBus.h"
#include "station/BatchWriter.h"
#include "station/CardRoutine.h"
#include "station/TypedNumbers.h"
#include "tests/support/JournalTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace journaltest;

namespace {

constexpr std::uint64_t kVendor1 = 1ull << 32;

class CardRoutineTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_settings.connection = m_dir.filePath(QStringLiteral("journal.sqlite"));
        m_settings.station = QStringLiteral("line-1");
        m_recorder = std::make_unique<CJournalRecorder>(m_settings);
        ASSERT_TRUE(m_device.OpenReader());
    }

    // One card from the fields, as Mass Production writes it.
    CardOutcome WriteFields(const QString& cardNo, int mode, CardRequest request = {}) {
        CCardJournal journal(m_recorder.get(), JournalSource::MassProduction);
        CFieldNumbers fields(journal, QStringLiteral("1"), cardNo, mode, m_random);
        const CardOutcome card = m_routine.WriteCard(fields, request);
        m_strNext = fields.CardText();
        return card;
    }
    std::vector<JournalRecord> Records() { return RecordsOldestFirst(*m_recorder->Journal()); }

    QTemporaryDir m_dir;
    JournalSettings m_settings;
    std::unique_ptr<CJournalRecorder> m_recorder;
    CFakeUsbBus m_bus;
    CEmulatedReader& m_reader = m_bus.AddReader();
    CRFIDDevice m_device;
    CCardRoutine m_routine{m_device};
    CRandomGenerator m_random;
    QString m_strNext;
};

} // namespace

TEST_F(CardRoutineTest, AFinishedCardIsLeftAsItIsWhileABlankOrForeignCardIsWritten) {
    m_reader.PutCard(0);
    EXPECT_EQ(WriteFields(QStringLiteral("5"), MODE_INCREASE).result, CardResult::Good);
    EXPECT_EQ(m_strNext, QStringLiteral("0000000006"));
    // The same card again: nothing sent, the refusal on record with the good card it is.
    const int transfers = m_bus.TransferCount();
    const CardOutcome again = WriteFields(QStringLiteral("6"), MODE_INCREASE);
    EXPECT_EQ(again.result, CardResult::AlreadyWritten);
    EXPECT_EQ(again.held, kVendor1 + 5);
    ASSERT_TRUE(again.goodCard);
    EXPECT_EQ(m_reader.ProgrammedCount(), 1);
    EXPECT_EQ(m_bus.TransferCount(), transfers + 1); // the one read before the write
    EXPECT_EQ(m_strNext, QStringLiteral("6"));
    const JournalRecord refused = Records().back();
    EXPECT_EQ(refused.result, JournalResult::Refused);
    EXPECT_EQ(refused.reason, FinishedCardReason(kVendor1 + 5, *again.goodCard));

    // A foreign card, and one that does not read at all, are written.
    m_reader.PutCard(99);
    EXPECT_EQ(WriteFields(QStringLiteral("6"), MODE_INCREASE).result, CardResult::Good);
    m_reader.PutCard(0);
    m_reader.SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::Stall, CCardRoutine::READS_BEFORE_WRITING);
    EXPECT_EQ(WriteFields(QStringLiteral("7"), MODE_INCREASE).result, CardResult::Good);
    EXPECT_EQ(m_reader.CardId(), kVendor1 + 7);
    // A finished card whose first reads fail is still known by the last try.
    m_reader.SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::Stall, CCardRoutine::READS_BEFORE_WRITING - 1);
    EXPECT_EQ(WriteFields(QStringLiteral("8"), MODE_INCREASE).result, CardResult::AlreadyWritten);
    EXPECT_EQ(m_reader.CardId(), kVendor1 + 7);
}

TEST_F(CardRoutineTest, EachStepIsToldBeforeItIsRecordedAndOnlyAGoodCardOnRecordAdvances) {
    m_reader.PutCard(0);
    std::vector<std::pair<CardStep, std::size_t>> steps; // the step, and the records there were then
    CardRequest request;
    request.verify = true;
    request.verifyDelayMs = 0;
    request.onStep = [&](CardStep step, const CardOutcome&) { steps.emplace_back(step, Records().size()); };
    EXPECT_EQ(WriteFields(QStringLiteral("20"), MODE_INCREASE, request).result, CardResult::Good);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0], std::make_pair(CardStep::Written, std::size_t(0)));
    EXPECT_EQ(steps[1], std::make_pair(CardStep::ReadBack, std::size_t(1))); // the write on record before the pause
    EXPECT_EQ(m_strNext, QStringLiteral("0000000021"));

    // Read back as something else: to throw away, the number stays.
    m_reader.PutCard(0);
    m_reader.SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::ShortReply, CCardRoutine::READS_BEFORE_WRITING + 1);
    const CardOutcome failed = WriteFields(QStringLiteral("21"), MODE_INCREASE, request);
    EXPECT_EQ(failed.result, CardResult::VerifyFailed);
    EXPECT_EQ(m_strNext, QStringLiteral("21"));
    EXPECT_EQ(Records().back().reason, QStringLiteral("the card holds nothing readable"));

    // A write the reader refuses: recorded as failed, the number stays.
    steps.clear();
    m_reader.SetFault(REQUEST_WRITE_CARD, CEmulatedReader::Fault::Stall, 1);
    EXPECT_EQ(WriteFields(QStringLiteral("21"), MODE_INCREASE, request).result, CardResult::WriteError);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].first, CardStep::WriteFailed);
    EXPECT_EQ(Records().back().result, JournalResult::Error);
    EXPECT_EQ(m_strNext, QStringLiteral("21"));

    // Text that is no number never reaches the reader.
    const int transfers = m_bus.TransferCount();
    const CardOutcome refused = WriteFields(QStringLiteral("12x"), MODE_INCREASE);
    EXPECT_EQ(refused.result, CardResult::Refused);
    EXPECT_EQ(refused.refusal, CardRefusal::NotANumber);
    EXPECT_EQ(m_bus.TransferCount(), transfers);
}

TEST_F(CardRoutineTest, WritingOverAFinishedBatchCardGivesItsNumberBackAndTheBatchWritesItAgain) {
    CJournal& journal = *m_recorder->Journal();
    QString error;
    ASSERT_TRUE(CreateRangeBatch(journal.Database(), QStringLiteral("order"), {1, 40, 41, BatchOrder::InOrder}, &error))
        << error.toStdString();
    CBatchStation station(journal.Database(), QStringLiteral("line-1"));
    ASSERT_EQ(station.Start().status, BatchStatus::Ok);
    CBatchWriter writer(station, m_device);
    writer.SetJournalHook(BatchJournalHook(journal, m_recorder->Stamped(JournalRecord())));
    writer.SetFinishedCardLookup([&](std::uint64_t id, QString* e) { return journal.FindGoodCard(id, e); });
    const auto write = [&](CCardRoutine& routine) {
        CardRequest request;
        return writer.WriteNext(routine, QStringLiteral("order"), request);
    };

    m_reader.PutCard(0);
    EXPECT_EQ(write(m_routine).result, BatchCardResult::Written);
    // The same card through the batch: refused before any number is claimed.
    const BatchCardOutcome again = write(m_routine);
    EXPECT_EQ(again.result, BatchCardResult::AlreadyWritten);
    EXPECT_EQ(FindBatch(journal.Database(), QStringLiteral("order"), &error)->counts.claimed, 0);

    // The Read/Write page writes over it on purpose.
    CCardJournal page(m_recorder.get(), JournalSource::ReadWritePage);
    CAskedNumber asked(page, QStringLiteral("555"));
    CardRequest overwrite;
    overwrite.overwriteFinished = true;
    const CardOutcome card = m_routine.WriteCard(asked, overwrite);
    EXPECT_EQ(card.result, CardResult::Good);
    EXPECT_TRUE(card.overwrote);
    EXPECT_EQ(Records().back().reason, QStringLiteral("overwritten with 0000000000555; back to batch order"));
    EXPECT_EQ(FindBatch(journal.Database(), QStringLiteral("order"), &error)->counts.Done(), 0);

    // Claims take the returned number before the next of the batch.
    m_reader.PutCard(0);
    EXPECT_EQ(write(m_routine).claim->identifier, kVendor1 + 40);
    m_reader.PutCard(0);
    EXPECT_EQ(write(m_routine).claim->identifier, kVendor1 + 41);
}
