// Several station processes writing one batch at once, on the test's own PostgreSQL server and on an
// SQLite file: every number on exactly one good card, none skipped, and the journal true to every card,
// whatever happens on the way.

#include "batches/Batch.h"
#include "batches/BatchSql.h"
#include "batches/BatchStation.h"
#include "journal/Journal.h"
#include "tests/support/EngineTest.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <signal.h>

namespace {

constexpr int kStations = 8;
constexpr int kRunTimeoutMs = 240000;

struct StationRun {
    std::map<std::uint64_t, int> good; // identifier -> cards
    std::vector<std::uint64_t> thrownAway;
    std::vector<QString> failures;
    int away = 0; // times a station found the database away
};

class BatchStations : public EngineTest {
protected:
    void SetUp() override {
        MakeDatabase(GetParam());
        if (!DatabaseMade())
            return;
        m_db = m_database->Open("test");
        ASSERT_TRUE(m_db.isOpen()) << m_database->Error().toStdString();
    }

    std::unique_ptr<QProcess> StartStation(const QString& batch, const QString& name, const QStringList& options) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->start(BATCH_STATION_PATH, QStringList{m_database->Text(), batch, name} + options);
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }

    // Starts the stations, calls during() while they run, and gathers what they printed.
    StationRun RunStations(const QString& batch, const std::function<void()>& during = {}) {
        std::vector<std::unique_ptr<QProcess>> stations;
        for (int i = 0; i < kStations; ++i)
            stations.push_back(StartStation(batch, QString("line %1").arg(i + 1),
                                            {"--verify", "--throw-away-every", QString::number(29 + i)}));
        if (during)
            during();
        StationRun run;
        for (auto& station : stations) {
            if (!station->waitForFinished(kRunTimeoutMs))
                station->kill();
            station->waitForFinished();
            if (station->exitStatus() != QProcess::NormalExit || station->exitCode() != 0)
                run.failures.push_back(QString::fromLocal8Bit(station->readAllStandardError()));
            for (const QByteArray& line : station->readAllStandardOutput().split('\n')) {
                run.away += line == "away";
                const QList<QByteArray> words = line.split(' ');
                if (words.size() != 2)
                    continue;
                const std::uint64_t identifier = words[1].toULongLong();
                if (words[0] == "good")
                    ++run.good[identifier];
                else if (words[0] == "throw")
                    run.thrownAway.push_back(identifier);
            }
        }
        return run;
    }

    // Every expected identifier is on exactly one good card, and the batch says the same.
    void ExpectEveryNumberOnceOnAGoodCard(const QString& batch, const std::vector<std::uint64_t>& expected,
                                          const StationRun& run) {
        for (const QString& failure : run.failures)
            ADD_FAILURE() << "a station failed: " << failure.toStdString();
        EXPECT_EQ(run.good.size(), expected.size());
        int twice = 0, missing = 0;
        for (std::uint64_t identifier : expected) {
            const auto found = run.good.find(identifier);
            missing += found == run.good.end();
            twice += found != run.good.end() && found->second != 1;
        }
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(twice, 0);
        for (std::uint64_t identifier : run.thrownAway)
            EXPECT_EQ(run.good.count(identifier), 1u) << "a thrown-away number was never written again";
        EXPECT_GT(run.thrownAway.size(), 0u);

        ASSERT_TRUE(DatabaseReachable(m_db) || ReopenDatabase(m_db));
        QString error;
        const auto info = FindBatch(m_db, batch, &error);
        ASSERT_TRUE(info) << error.toStdString();
        EXPECT_EQ(info->counts.verified, qint64(expected.size()));
        EXPECT_EQ(info->counts.claimed, 0);
        EXPECT_EQ(info->counts.left, 0);
        EXPECT_EQ(info->counts.throwAway, qint64(run.thrownAway.size()));
        std::map<std::uint64_t, int> reported;
        for (const BatchReportLine& line : BatchReport(m_db, batch, &error)) {
            if (line.state == CLAIM_VERIFIED)
                ++reported[line.identifier];
        }
        EXPECT_EQ(reported, run.good);
        // The journal says the same: one verified record for every good card, none for another number.
        JournalStatus status;
        const std::unique_ptr<CJournal> journal = CJournal::Open(m_database->Text(), &status);
        ASSERT_TRUE(journal) << status.detail.toStdString();
        JournalFilter ofBatch;
        ofBatch.batch = batch;
        std::map<std::uint64_t, int> journaled;
        ASSERT_TRUE(journal->ForEach(ofBatch, [&](const JournalRecord& record) {
            journaled[*record.identifier] += record.result == JournalResult::VerifyOk;
            return true;
        }, &error)) << error.toStdString();
        std::erase_if(journaled, [](const auto& entry) { return entry.second == 0; });
        EXPECT_EQ(journaled, run.good);
    }

    // Waits until the batch has at least `done` good cards.
    void WaitForProgress(const QString& batch, qint64 done) {
        QElapsedTimer clock;
        clock.start();
        QString error;
        while (clock.elapsed() < kRunTimeoutMs) {
            const auto info = FindBatch(m_db, batch, &error);
            if (info && info->counts.Done() >= done)
                return;
            QThread::msleep(50);
        }
        ADD_FAILURE() << "the stations made no progress";
    }

    int Size(int postgres, int sqlite) const { return GetParam() == JournalEngine::PostgreSQL ? postgres : sqlite; }

    QSqlDatabase m_db;
};

} // namespace

TEST_P(BatchStations, EightStationsWriteEveryNumberOfARangeExactlyOnce) {
    const int count = Size(10000, 1000);
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "customer", {18, 1000, std::uint32_t(1000 + count - 1), BatchOrder::Random},
                                 &error))
        << error.toStdString();
    std::vector<std::uint64_t> expected;
    for (int card = 1000; card < 1000 + count; ++card)
        expected.push_back((18ull << 32) | std::uint64_t(card));
    ExpectEveryNumberOnceOnAGoodCard("customer", expected, RunStations("customer"));
}

TEST_P(BatchStations, EightStationsWriteEveryLineOfAListExactlyOnceThroughAServerRestart) {
    const int count = Size(5000, 500);
    QByteArray file;
    std::vector<std::uint64_t> expected;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t identifier = (std::uint64_t(i % 7 + 1) << 32) | std::uint64_t(i * 7919 + 13);
        expected.push_back(identifier);
        file += i % 2 ? QByteArray::number(identifier).rightJustified(13, '0')
                      : QByteArray::number(identifier >> 32) + ":" + QByteArray::number(identifier & 0xFFFFFFFF);
        file += "\n";
    }
    const ParsedList list = ParseIdentifierList(file);
    ASSERT_TRUE(list.errors.empty());
    QString error;
    ASSERT_TRUE(CreateListBatch(m_db, "list", list.identifiers, &error)) << error.toStdString();

    CPgServer* server = m_database->Server();
    const StationRun run = RunStations("list", [&] {
        if (!server)
            return;
        // The server goes away in the middle of the run and comes back: the stations wait and go on.
        WaitForProgress("list", count / 4);
        ASSERT_TRUE(server->Stop()) << server->LastError().toStdString();
        QThread::msleep(1500);
        ASSERT_TRUE(server->Start()) << server->LastError().toStdString();
    });
    ExpectEveryNumberOnceOnAGoodCard("list", expected, run);
    if (server) {
        EXPECT_GT(run.away, 0) << "no station noticed the server going away";
    }
}

TEST_P(BatchStations, AClaimOfAKilledStationIsTakenBackByItsNextRunOrReleased) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 20, BatchOrder::InOrder}, &error));
    auto killed = StartStation("order", "line 1", {"--hold"});
    ASSERT_TRUE(killed->waitForReadyRead(30000)) << killed->readAllStandardError().toStdString();
    const QList<QByteArray> words = killed->readLine().trimmed().split(' ');
    ASSERT_EQ(words.value(0), "claimed");
    const std::uint64_t held = words.value(1).toULongLong();
    kill(pid_t(killed->processId()), SIGKILL);
    killed->waitForFinished();

    // Another station never gets the held number, even when the batch runs out.
    CBatchStation other(m_database->Open("other"), "line 2");
    ASSERT_EQ(other.Start().status, BatchStatus::Ok);
    for (;;) {
        const BatchOutcome claimed = other.Claim("order");
        if (claimed.status != BatchStatus::Ok)
            break;
        EXPECT_NE(claimed.claim->identifier, held);
        ASSERT_EQ(other.RecordGood(*claimed.claim, true).status, BatchStatus::Ok);
    }
    // The killed station's next run takes its number back at once (its process is gone) ...
    {
        CBatchStation again(m_database->Open("again"), "line 1");
        ASSERT_EQ(again.Start().status, BatchStatus::Ok);
        const BatchOutcome claimed = again.Claim("order");
        ASSERT_EQ(claimed.status, BatchStatus::Ok) << claimed.message.toStdString();
        EXPECT_EQ(claimed.claim->identifier, held);
    }
    // ... or, when it never comes back, the number is released to the others.
    EXPECT_EQ(ReleaseStationClaims(m_db, "order", "line 1", &error), 1) << error.toStdString();
    const BatchOutcome released = other.Claim("order");
    ASSERT_EQ(released.status, BatchStatus::Ok);
    EXPECT_EQ(released.claim->identifier, held);
    ASSERT_EQ(other.RecordGood(*released.claim, true).status, BatchStatus::Ok);
    EXPECT_EQ(other.Claim("order").status, BatchStatus::Exhausted);
}

INSTANTIATE_TEST_SUITE_P(Engines, BatchStations,
                         ::testing::Values(JournalEngine::SQLite, JournalEngine::PostgreSQL),
                         EngineTestName);
