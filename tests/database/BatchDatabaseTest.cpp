// Batches and claims on real databases: an SQLite file and the test's own PostgreSQL server, with the
// same code and the same expectations.

#include "batches/Batch.h"
#include "batches/BatchCard.h"
#include "batches/BatchSql.h"
#include "batches/BatchStation.h"
#include "journal/DatabaseInit.h"
#include "journal/Journal.h"
#include "cards/CardIdentifier.h"
#include "tests/support/EngineTest.h"

#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

constexpr std::uint64_t kVendor18 = 18ull << 32;

class BatchDatabase : public EngineTest {
protected:
    virtual JournalEngine Engine() const { return GetParam(); }

    void SetUp() override {
        MakeDatabase(Engine());
        if (!DatabaseMade())
            return;
        m_db = Connection("admin");
    }

    QSqlDatabase Connection(const QString& name) {
        QSqlDatabase db = m_database->Open(name);
        EXPECT_TRUE(db.isOpen()) << m_database->Error().toStdString();
        return db;
    }

    std::unique_ptr<CBatchStation> StartedStation(const QString& connection, const QString& name) {
        auto station = std::make_unique<CBatchStation>(Connection(connection), name);
        const BatchOutcome started = station->Start();
        EXPECT_EQ(started.status, BatchStatus::Ok) << started.message.toStdString();
        return station;
    }

    static std::uint64_t ClaimOk(CBatchStation& station, const QString& batch) {
        const BatchOutcome claimed = station.Claim(batch);
        EXPECT_EQ(claimed.status, BatchStatus::Ok) << claimed.message.toStdString();
        return claimed.claim ? claimed.claim->identifier : ~0ull;
    }

    static BatchClaim ClaimOf(CBatchStation& station, const QString& batch) {
        const BatchOutcome claimed = station.Claim(batch);
        EXPECT_EQ(claimed.status, BatchStatus::Ok) << claimed.message.toStdString();
        return claimed.claim.value_or(BatchClaim{});
    }

    // Another run takes the station name over, as it may once the holder is not seen for the lease.
    void TakeNameOver(const QString& station) {
        QSqlQuery age(m_db);
        age.prepare("UPDATE station_session SET seen_at = ? WHERE name = ?");
        age.addBindValue(QString("2000-01-01T00:00:00.000Z"));
        age.addBindValue(station);
        ASSERT_TRUE(age.exec()) << age.lastError().text().toStdString();
        CBatchStation next(Connection("next run"), station);
        ASSERT_EQ(next.Start().status, BatchStatus::Ok);
        next.Stop();
    }

    BatchCounts Counts(const QString& batch) {
        QString error;
        const auto info = FindBatch(m_db, batch, &error);
        EXPECT_TRUE(info) << error.toStdString();
        return info ? info->counts : BatchCounts{};
    }

    QSqlDatabase m_db;
};

std::vector<std::uint64_t> DrainBatch(CBatchStation& station, const QString& batch) {
    std::vector<std::uint64_t> numbers;
    for (;;) {
        const BatchOutcome claimed = station.Claim(batch);
        if (claimed.status != BatchStatus::Ok) {
            EXPECT_EQ(claimed.status, BatchStatus::Exhausted) << claimed.message.toStdString();
            return numbers;
        }
        numbers.push_back(claimed.claim->identifier);
        EXPECT_EQ(station.RecordGood(*claimed.claim, true).status, BatchStatus::Ok);
    }
}

} // namespace

TEST_P(BatchDatabase, RangesGiveEveryNumberOnceInOrderOrShuffledThenRunOut) {
    QString error;
    // Long enough that its numbers are made in more than one block, the later ones ahead of need.
    ASSERT_TRUE(CreateRangeBatch(m_db, "in order", {18, 1000, 3199, BatchOrder::InOrder}, &error)) << error.toStdString();
    ASSERT_TRUE(CreateRangeBatch(m_db, "random", {18, 1000, 1049, BatchOrder::Random}, &error));
    EXPECT_FALSE(CreateRangeBatch(m_db, "random", {18, 1, 2, BatchOrder::InOrder}, &error));
    EXPECT_TRUE(error.contains("exists already")) << error.toStdString();
    EXPECT_FALSE(CreateRangeBatch(m_db, "upside down", {18, 2, 1, BatchOrder::InOrder}, &error));
    EXPECT_FALSE(CreateRangeBatch(m_db, "vendor", {256, 1, 2, BatchOrder::InOrder}, &error));

    auto station = StartedStation("station", "line 1");
    std::vector<std::uint64_t> expected;
    for (std::uint64_t card = 1000; card <= 3199; ++card)
        expected.push_back(kVendor18 | card);
    EXPECT_EQ(DrainBatch(*station, "in order"), expected);
    expected.resize(50);
    std::vector<std::uint64_t> shuffled = DrainBatch(*station, "random");
    EXPECT_NE(shuffled, expected);
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, expected);

    const BatchCounts counts = Counts("random");
    EXPECT_EQ(counts.total, 50);
    EXPECT_EQ(counts.verified, 50);
    EXPECT_EQ(counts.left, 0);
    EXPECT_EQ(station->Claim("no such batch").status, BatchStatus::NoBatch);
    EXPECT_EQ(ListBatches(m_db, &error).size(), 2u);
}

TEST_P(BatchDatabase, AFreeNumberBehindTheStationsLastOneIsStillTakenBeforeTheBatchRunsOut) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 6, BatchOrder::InOrder}, &error));
    auto station = StartedStation("station", "line 1");
    for (int card = 0; card < 4; ++card)
        EXPECT_EQ(station->RecordGood(ClaimOf(*station, "order"), false).status, BatchStatus::Ok);
    // As a number another station was taking and let go when its statement failed: free again, in its place.
    QSqlQuery free(m_db);
    free.prepare("UPDATE batch_claim SET state = ?, station = NULL, session = NULL, free_order = idx"
                 " WHERE batch_name = ? AND idx = 1");
    free.addBindValue(QString(CLAIM_LEFT));
    free.addBindValue(QString("order"));
    ASSERT_TRUE(free.exec()) << free.lastError().text().toStdString();
    std::vector<std::uint64_t> rest = DrainBatch(*station, "order");
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::uint64_t>{kVendor18 | 2, kVendor18 | 5, kVendor18 | 6}));
}

TEST_P(BatchDatabase, AClaimOutlivesWriteErrorsAndThrowAwaysAndTheCountsTellThemApart) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1000, 1009, BatchOrder::InOrder}, &error));
    auto station = StartedStation("station", "line 1");
    const BatchClaim first = ClaimOf(*station, "order");
    EXPECT_EQ(first.identifier, kVendor18 | 1000);
    EXPECT_EQ(ClaimOk(*station, "order"), kVendor18 | 1000); // a write error records nothing in the batch
    EXPECT_EQ(station->RecordThrowAway(first).status, BatchStatus::Ok);
    EXPECT_EQ(ClaimOk(*station, "order"), kVendor18 | 1000);
    EXPECT_EQ(station->RecordGood(first, false).status, BatchStatus::Ok);
    const BatchClaim second = ClaimOf(*station, "order");
    EXPECT_EQ(second.identifier, kVendor18 | 1001);
    EXPECT_EQ(station->RecordGood(second, true).status, BatchStatus::Ok);
    // The result and its journal record are committed together or not at all.
    const BatchClaim third = ClaimOf(*station, "order");
    const RecordInTransaction failingRecord = [](QSqlDatabase&, QString* failure) {
        *failure = "no space";
        return false;
    };
    EXPECT_EQ(station->RecordGood(third, true, failingRecord).status, BatchStatus::Failed);
    EXPECT_EQ(ClaimOk(*station, "order"), kVendor18 | 1002);
    // A claim this station does not hold is never recorded.
    EXPECT_EQ(station->RecordGood({"order", 7, kVendor18 | 1007}, true).status, BatchStatus::Refused);
    EXPECT_EQ(station->RecordThrowAway({"order", 7, kVendor18 | 1007}).status, BatchStatus::Refused);

    const BatchCounts counts = Counts("order");
    EXPECT_EQ(counts.claimed, 1);
    EXPECT_EQ(counts.written, 1);
    EXPECT_EQ(counts.verified, 1);
    EXPECT_EQ(counts.throwAway, 1);
    EXPECT_EQ(counts.left, 7);

    const std::vector<BatchReportLine> report = BatchReport(m_db, "order", &error);
    ASSERT_EQ(report.size(), 4u) << error.toStdString();
    EXPECT_EQ(report[0].state, CLAIM_WRITTEN);
    EXPECT_EQ(report[1].state, CLAIM_VERIFIED);
    EXPECT_EQ(report[2].state, CLAIM_CLAIMED);
    EXPECT_EQ(report[3].state, "throw-away");
    EXPECT_EQ(report[3].identifier, kVendor18 | 1000);
    EXPECT_EQ(report[3].station, "line 1");
}

TEST_P(BatchDatabase, OneRunningStationPerNameAndARestartTakesItsClaimBack) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1000, 1009, BatchOrder::InOrder}, &error));
    auto first = StartedStation("first run", "line 1");
    const BatchClaim held = ClaimOf(*first, "order");

    CBatchStation second(Connection("second run"), "line 1");
    const BatchOutcome refused = second.Start();
    EXPECT_EQ(refused.status, BatchStatus::Refused);
    EXPECT_TRUE(refused.message.contains("already running")) << refused.message.toStdString();
    EXPECT_EQ(second.Claim("order").status, BatchStatus::Refused);

    auto other = StartedStation("other", "line 2");
    const BatchClaim otherClaim = ClaimOf(*other, "order");
    EXPECT_NE(otherClaim.identifier, held.identifier);
    EXPECT_EQ(ReleaseStationClaims(m_db, "order", "line 1", &error), -1); // still running
    EXPECT_TRUE(error.contains("running")) << error.toStdString();

    first->Stop();
    ASSERT_EQ(second.Start().status, BatchStatus::Ok);
    EXPECT_EQ(ClaimOk(second, "order"), held.identifier); // taken back from the earlier run
    EXPECT_EQ(first->RecordGood(held, true).status, BatchStatus::Refused);
    EXPECT_EQ(first->Start().status, BatchStatus::Refused);

    // A run not seen for longer than the lease loses its name to the next one, and then every claim
    // and record of the old run is refused.
    TakeNameOver("line 1");
    EXPECT_EQ(second.Claim("order").status, BatchStatus::Refused);
    EXPECT_EQ(second.RecordGood(held, true).status, BatchStatus::Refused);

    // Released claims go to the next station that claims, before any new number.
    EXPECT_EQ(ReleaseStationClaims(m_db, "order", "line 1", &error), 1) << error.toStdString();
    EXPECT_EQ(other->RecordGood(otherClaim, true).status, BatchStatus::Ok);
    EXPECT_EQ(ClaimOk(*other, "order"), held.identifier);
    EXPECT_EQ(Counts("order").left, 8);
}

TEST_P(BatchDatabase, AGoodCardAndItsJournalRecordsAreRecordedTogetherOnlyWhileItsClaimIsHeld) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 10, BatchOrder::InOrder}, &error));
    JournalStatus status;
    std::unique_ptr<CJournal> journal = CJournal::Open(m_database->Text(), &status);
    ASSERT_TRUE(journal) << status.detail.toStdString();
    CBatchStation station(journal->Database(), "line 1");
    ASSERT_EQ(station.Start().status, BatchStatus::Ok);
    JournalRecord base;
    base.station = "line 1";
    const BatchJournalHook hook(*journal, base);
    const auto record = [&](const BatchClaim& claim, bool verified) {
        const BatchCardEvent event(claim, verified ? BatchCardResult::Verified : BatchCardResult::Written, verified,
                                   CardIdText(claim.identifier));
        return station.RecordGood(claim, verified, hook.For(event)).status;
    };
    const auto recordsOfBatch = [&] {
        std::vector<JournalRecord> records;
        JournalFilter ofBatch;
        ofBatch.batch = "order";
        EXPECT_TRUE(journal->Select(ofBatch, 0, 10, &records, &error)) << error.toStdString();
        return records;
    };

    const BatchClaim first = ClaimOf(station, "order");
    const std::int64_t statements = station.StatementCount();
    EXPECT_EQ(record(first, true), BatchStatus::Ok);
    if (GetParam() == JournalEngine::PostgreSQL) { // the claim's update and both records: one statement
        EXPECT_EQ(station.StatementCount() - statements, 1);
    }
    const std::vector<JournalRecord> records = recordsOfBatch(); // newest first
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].operation, JournalOperation::Verify);
    EXPECT_EQ(records[0].result, JournalResult::VerifyOk);
    EXPECT_EQ(records[1].operation, JournalOperation::Write);
    EXPECT_EQ(records[1].result, JournalResult::Ok);
    EXPECT_LT(records[1].id, records[0].id);
    for (const JournalRecord& r : records) {
        EXPECT_EQ(r.identifier, first.identifier);
        EXPECT_EQ(r.station, "line 1");
    }

    // A run that lost its name records neither the card nor its journal records.
    const BatchClaim second = ClaimOf(station, "order");
    TakeNameOver("line 1");
    EXPECT_EQ(record(second, false), BatchStatus::Refused);
    EXPECT_EQ(recordsOfBatch().size(), 2u);
    EXPECT_EQ(Counts("order").verified, 1);
    EXPECT_EQ(Counts("order").written, 0);
}

TEST_P(BatchDatabase, HostileNamesAndListsAreDataNeverSql) {
    const QString name = "x'); DROP TABLE batch; --";
    const QString station = "\"; DELETE FROM batch_claim; -- \u7AD9";
    QString error;
    const std::vector<std::uint64_t> list = {kVendor18 | 5, 7ull << 32 | 9, kVendor18 | 1};
    ASSERT_TRUE(CreateListBatch(m_db, name, list, &error)) << error.toStdString();
    EXPECT_FALSE(CreateListBatch(m_db, "empty", {}, &error));
    EXPECT_FALSE(CreateRangeBatch(m_db, QString(129, 'n'), {1, 1, 2, BatchOrder::InOrder}, &error));
    EXPECT_FALSE(CreateRangeBatch(m_db, "two\nlines", {1, 1, 2, BatchOrder::InOrder}, &error));

    auto worker = StartedStation("station", station);
    EXPECT_EQ(DrainBatch(*worker, name), list); // a list is taken in its own order
    const auto info = FindBatch(m_db, name, &error);
    ASSERT_TRUE(info) << error.toStdString();
    EXPECT_EQ(info->name, name);
    EXPECT_TRUE(info->isList);
    EXPECT_FALSE(info->vendor); // two vendors
    EXPECT_EQ(info->counts.verified, 3);
    const std::vector<BatchReportLine> report = BatchReport(m_db, name, &error);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0].station, station);
    for (const char* table : {"batch", "batch_item", "batch_claim", "batch_discard", "station_session"})
        EXPECT_TRUE(m_db.tables().contains(table)) << table;
}

// A claim row as the program wrote it before numbers were made ahead (the table had no free_order).
static void InsertEarlierClaim(QSqlDatabase& db, std::int64_t index, const char* state, const QVariant& station) {
    QSqlQuery insert(db);
    insert.prepare("INSERT INTO batch_claim (batch_name, idx, identifier, state, station, session, claimed_at,"
                   " done_at) VALUES ('order', ?, ?, ?, ?, ?, '2026-01-01T00:00:00.000Z', NULL)");
    insert.addBindValue(qint64(index));
    insert.addBindValue(qint64(kVendor18 | std::uint64_t(100 + index)));
    insert.addBindValue(QString(state));
    insert.addBindValue(station);
    insert.addBindValue(station.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant("earlier run"));
    ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
}

TEST_P(BatchDatabase, ABatchOfTheEarlierSchemaIsMigratedInPlaceAndLosesNoClaim) {
    constexpr int kClaimsSchema = 3; // claims found by identifier: the schema before numbers were made ahead
    m_db = QSqlDatabase();
    m_database = std::make_unique<CTestDatabase>(Engine()); // the fixture's database is at the latest schema
    QSqlDatabase old = m_database->OpenAtVersion("earlier", kClaimsSchema);
    QString error;
    ASSERT_EQ(ReadSchemaVersion(old, &error), kClaimsSchema) << error.toStdString();
    ASSERT_TRUE(CreateRangeBatch(old, "order", {18, 100, 119, BatchOrder::InOrder}, &error)) << error.toStdString();
    // Six numbers taken the earlier way: the batch's next_index moved on with every claim.
    const QVariant none(QMetaType(QMetaType::QString));
    InsertEarlierClaim(old, 0, CLAIM_VERIFIED, "line 1");
    InsertEarlierClaim(old, 1, CLAIM_WRITTEN, "line 2");
    InsertEarlierClaim(old, 2, CLAIM_CLAIMED, "line 1");
    InsertEarlierClaim(old, 3, CLAIM_RELEASED, none);
    InsertEarlierClaim(old, 4, CLAIM_CLAIMED, "line 2");
    InsertEarlierClaim(old, 5, CLAIM_RELEASED, none);
    QSqlQuery moved(old);
    ASSERT_TRUE(moved.exec("UPDATE batch SET next_index = 6")) << moved.lastError().text().toStdString();

    m_db = Connection("migrated");
    EXPECT_EQ(ReadSchemaVersion(m_db, &error), LatestSchemaVersion());
    EXPECT_EQ(Counts("order").claimed, 2);
    EXPECT_EQ(Counts("order").Done(), 2);

    // Each station gets its own claim back first; the released numbers go before the ones never taken.
    auto line1 = StartedStation("line 1", "line 1");
    auto line2 = StartedStation("line 2", "line 2");
    auto line3 = StartedStation("line 3", "line 3");
    EXPECT_EQ(ClaimOk(*line1, "order"), kVendor18 | 102);
    EXPECT_EQ(ClaimOk(*line2, "order"), kVendor18 | 104);
    const std::vector<std::uint64_t> drained = DrainBatch(*line3, "order");
    ASSERT_GE(drained.size(), 3u);
    EXPECT_EQ(drained[0], kVendor18 | 103);
    EXPECT_EQ(drained[1], kVendor18 | 105);
    EXPECT_EQ(drained[2], kVendor18 | 106);
    EXPECT_EQ(DrainBatch(*line1, "order"), std::vector<std::uint64_t>{kVendor18 | 102});
    EXPECT_EQ(DrainBatch(*line2, "order"), std::vector<std::uint64_t>{kVendor18 | 104});

    std::vector<std::uint64_t> onCards;
    for (const BatchReportLine& line : BatchReport(m_db, "order", &error))
        onCards.push_back(line.identifier);
    std::sort(onCards.begin(), onCards.end());
    std::vector<std::uint64_t> expected;
    for (std::uint64_t card = 100; card <= 119; ++card)
        expected.push_back(kVendor18 | card);
    EXPECT_EQ(onCards, expected); // every number once, none lost, none twice
    EXPECT_EQ(Counts("order").left, 0);
    EXPECT_EQ(Counts("order").Done(), 20);
}

INSTANTIATE_TEST_SUITE_P(Engines, BatchDatabase,
                         ::testing::Values(JournalEngine::SQLite, JournalEngine::PostgreSQL),
                         EngineTestName);

// Roles exist on PostgreSQL only.
class BatchOnPostgres : public BatchDatabase {
protected:
    JournalEngine Engine() const override { return JournalEngine::PostgreSQL; }
};

TEST_F(BatchOnPostgres, StationRoleMayClaimAndRecordButNeverDeleteOrChangeRecords) {
    QString notes, error;
    ASSERT_TRUE(InitDatabase(m_db, DEFAULT_STATION_ROLE, &notes, &error)) << error.toStdString();
    ASSERT_TRUE(InitDatabase(m_db, DEFAULT_STATION_ROLE, &notes, &error)) << error.toStdString(); // again: no change
    EXPECT_FALSE(InitDatabase(m_db, "x; DROP TABLE batch", &notes, &error));
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 10, BatchOrder::InOrder}, &error));

    QString url = m_database->Text();
    url.replace("postgresql://postgres@", QString("postgresql://%1@").arg(DEFAULT_STATION_ROLE));
    JournalStatus status;
    std::unique_ptr<CJournal> journal = CJournal::Open(url, &status);
    ASSERT_TRUE(journal) << status.detail.toStdString();
    QSqlDatabase stationDb = journal->Database();
    {
        CBatchStation station(stationDb, "line 1");
        ASSERT_EQ(station.Start().status, BatchStatus::Ok);
        const BatchClaim claim = ClaimOf(station, "order");
        EXPECT_EQ(station.RecordThrowAway(claim).status, BatchStatus::Ok);
        JournalRecord base;
        base.station = "line 1";
        const BatchCardEvent written(claim, BatchCardResult::Written, false, QString());
        EXPECT_EQ(station.RecordGood(claim, false, BatchJournalHook(*journal, base).For(written)).status,
                  BatchStatus::Ok);
    }
    EXPECT_FALSE(CreateRangeBatch(stationDb, "mine", {18, 1, 2, BatchOrder::InOrder}, &error));
    for (const char* sql : {"DELETE FROM journal_record", "UPDATE journal_record SET result = 'ok'",
                            "DELETE FROM batch_claim", "DELETE FROM batch_discard", "DELETE FROM station_session",
                            "UPDATE batch_discard SET station = 'x'", "UPDATE batch SET total = 100",
                            "DELETE FROM batch", "DROP TABLE batch_claim"}) {
        QSqlQuery refused(stationDb);
        EXPECT_FALSE(refused.exec(sql)) << sql;
        EXPECT_EQ(refused.lastError().nativeErrorCode(), "42501") << sql; // insufficient privilege
    }
    EXPECT_EQ(Counts("order").written, 1);
    EXPECT_EQ(Counts("order").throwAway, 1);
    QString found;
    EXPECT_TRUE(journal->FindGoodCard((18ull << 32) | 1, &found)) << found.toStdString();
    stationDb = QSqlDatabase();
}

