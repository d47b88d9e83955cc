// The window's model on generated journals of both engines: it counts what matches, fetches any page by
// key or from the nearer end, keeps a bounded number of pages, and takes in records arriving while the
// view is scrolled; a broad filter's count is estimated at once and made exact by the counter's thread.

#include "tests/support/EngineTest.h"
#include "tests/support/JournalTestSupport.h"

#include "journal/JournalCounter.h"
#include "journal/JournalModel.h"

#include <QtCore/qtestsupport_core.h>
#include <QTimeZone>

#include <map>

using namespace journaltest;

namespace {

const QDateTime kStart(QDate(2025, 6, 1), QTime(8, 0), QTimeZone::utc());

class JournalModel : public EngineTest {
protected:
    void SetUp() override {
        MakeDatabase(GetParam());
        if (!DatabaseMade())
            return;
        JournalStatus status;
        m_journal = CJournal::Open(m_database->Text(), &status);
        ASSERT_TRUE(m_journal) << status.detail.toStdString();
    }

    // The ids the model shows at rows, in the order given, each fetched as the view would ask for it.
    static std::vector<std::int64_t> IdsAt(const CJournalModel& model, const std::vector<int>& rows) {
        std::vector<std::int64_t> ids;
        for (int row : rows) {
            const JournalRecord* record = model.RecordAt(row);
            ids.push_back(record ? record->id : -1);
        }
        return ids;
    }
    static std::vector<std::int64_t> ExpectedIds(const std::vector<JournalRecord>& newestFirst,
                                                 const std::vector<int>& rows) {
        std::vector<std::int64_t> ids;
        for (int row : rows)
            ids.push_back(newestFirst[std::size_t(row)].id);
        return ids;
    }
    static std::vector<int> Rows(int first, int last, int step = 1) {
        std::vector<int> rows;
        for (int row = first; step > 0 ? row <= last : row >= last; row += step)
            rows.push_back(row);
        return rows;
    }

    // The record as the journal added it, its id filled in.
    JournalRecord Added(JournalRecord record) {
        QString error;
        EXPECT_TRUE(m_journal->Add(record, &error)) << error.toStdString();
        return record;
    }

    std::unique_ptr<CJournal> m_journal;
};

TEST_P(JournalModel, CountsEveryRecordAndShowsAnyRowInTimeOrderWithABoundedCache) {
    const int count = (CJournalModel::CACHED_PAGES + 3) * CJournalModel::PAGE_SIZE + 37;
    const std::vector<JournalRecord> added = GenerateJournal(*m_journal, count, kStart);
    const std::vector<JournalRecord> expected = NewestFirst(added, [](const JournalRecord&) { return true; });
    ASSERT_NE(expected.front().id, added.back().id) << "time order must differ from the order of adding";

    CJournalModel model;
    model.SetFilter(m_journal.get(), {});
    ASSERT_EQ(model.rowCount(), count) << model.LastError().toStdString();
    // The oldest first, as one Ctrl+End shows it, then up across page boundaries from there.
    EXPECT_EQ(IdsAt(model, {count - 1}), ExpectedIds(expected, {count - 1}));
    const std::vector<int> upward = Rows(count - 1, count - 3 * CJournalModel::PAGE_SIZE - 2, -1);
    EXPECT_EQ(IdsAt(model, upward), ExpectedIds(expected, upward));
    // A jump into the middle from either end, and the rows around a page boundary there.
    const int boundary = (count / CJournalModel::PAGE_SIZE / 2) * CJournalModel::PAGE_SIZE + count % CJournalModel::PAGE_SIZE;
    const std::vector<int> around = Rows(boundary - 2, boundary + 2);
    EXPECT_EQ(IdsAt(model, around), ExpectedIds(expected, around));
    EXPECT_EQ(IdsAt(model, {count / 3, 2 * count / 3}), ExpectedIds(expected, {count / 3, 2 * count / 3}));
    // Every row from the top down: the whole journal scrolled through keeps no more pages than allowed.
    const std::vector<int> all = Rows(0, count - 1);
    EXPECT_EQ(IdsAt(model, all), ExpectedIds(expected, all));
    EXPECT_EQ(model.CachedPages(), CJournalModel::CACHED_PAGES);
    EXPECT_TRUE(model.LastError().isEmpty()) << model.LastError().toStdString();
    EXPECT_EQ(model.RecordAt(count), nullptr);
}

TEST_P(JournalModel, AFilterChangeCountsAndShowsOnlyItsRecords) {
    const int count = 3 * CJournalModel::PAGE_SIZE + 11;
    const std::vector<JournalRecord> added = GenerateJournal(*m_journal, count, kStart);
    CJournalModel model;
    const auto check = [&](const JournalFilter& filter, const std::function<bool(const JournalRecord&)>& keep) {
        model.SetFilter(m_journal.get(), filter);
        const std::vector<JournalRecord> expected = NewestFirst(added, keep);
        ASSERT_EQ(model.rowCount(), int(expected.size())) << model.LastError().toStdString();
        ASSERT_FALSE(expected.empty());
        const std::vector<int> rows = Rows(0, model.rowCount() - 1);
        EXPECT_EQ(IdsAt(model, rows), ExpectedIds(expected, rows));
    };
    check({.station = QStringLiteral("station-2")}, [](const JournalRecord& r) { return r.station == "station-2"; });
    check({.result = JournalResult::Refused, .source = JournalSource::Rfidctl}, [](const JournalRecord& r) {
        return r.result == JournalResult::Refused && r.source == JournalSource::Rfidctl;
    });
    check({.batch = QStringLiteral("batch-1")}, [](const JournalRecord& r) { return r.batch == "batch-1"; });
    // A card number alone finds the card under every vendor; vendor:card only that one.
    check({.identifierText = QStringLiteral("1005")},
          [](const JournalRecord& r) { return (*r.identifier & 0xFFFFFFFFu) == 1005; });
    check({.identifierText = QStringLiteral(" 18:1005 ")},
          [](const JournalRecord& r) { return *r.identifier == ((18ull << 32) | 1005); });
    check({.since = kStart.addSecs(100), .until = kStart.addSecs(200)}, [](const JournalRecord& r) {
        return r.time >= kStart.addSecs(100) && r.time < kStart.addSecs(200);
    });
}

TEST_P(JournalModel, RecordsArrivingWhileScrolledGoOnTopAndLeaveTheRowsBelowInPlace) {
    const int count = 2 * CJournalModel::PAGE_SIZE + 50;
    std::vector<JournalRecord> added = GenerateJournal(*m_journal, count, kStart);
    CJournalModel model;
    model.SetFilter(m_journal.get(), {.station = QStringLiteral("station-1")});
    const int shown = model.rowCount();
    const int scrolledTo = shown / 2;
    const std::vector<int> window = Rows(0, shown - 1);
    const std::vector<std::int64_t> before = IdsAt(model, window);
    int insertedFirst = -1, insertedLast = -1;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
        insertedFirst = first;
        insertedLast = last;
    });

    // Three records of the station and one of another arrive, newer than any shown.
    for (int i = 0; i < 4; ++i) {
        JournalRecord record = GoodWrite(900000 + i);
        record.station = i == 2 ? QStringLiteral("station-9") : QStringLiteral("station-1");
        record.time = kStart.addDays(30).addSecs(i);
        added.push_back(Added(record));
    }
    // Pages are fetched by their count from the oldest: a page fetched before the refresh is not shifted.
    EXPECT_EQ(IdsAt(model, {scrolledTo}), std::vector<std::int64_t>{before[std::size_t(scrolledTo)]});
    EXPECT_EQ(model.Refresh(), 3);
    EXPECT_EQ(insertedFirst, 0);
    EXPECT_EQ(insertedLast, 2);
    ASSERT_EQ(model.rowCount(), shown + 3);
    EXPECT_EQ(IdsAt(model, Rows(3, shown + 2)), before);
    EXPECT_EQ(model.RecordAt(0)->identifier, 900003u);
    EXPECT_EQ(model.Refresh(), 0);

    // A record stamped earlier than the newest shown (a station whose clock is behind) finds its place.
    JournalRecord late = GoodWrite(800000);
    late.station = QStringLiteral("station-1");
    late.time = kStart.addSecs(count / 6);
    added.push_back(Added(late));
    EXPECT_EQ(model.Refresh(), 1);
    const std::vector<JournalRecord> expected =
        NewestFirst(added, [](const JournalRecord& r) { return r.station == "station-1"; });
    ASSERT_EQ(model.rowCount(), int(expected.size()));
    const std::vector<int> all = Rows(0, model.rowCount() - 1);
    EXPECT_EQ(IdsAt(model, all), ExpectedIds(expected, all));
}

TEST_P(JournalModel, ABroadFilterIsEstimatedAtOnceAndCountedExactlyOnTheCountersThread) {
    // Half the records are of batch-1: three pages of them, so the middle one is far from both ends.
    std::vector<JournalRecord> added = GenerateJournal(*m_journal, 5 * CJournalModel::PAGE_SIZE + 11, kStart);
    const auto ofBatch1 = [](const JournalRecord& r) { return r.batch == "batch-1"; };
    CJournalModel model;
    model.SetCountAtOnceLimit(50);
    model.SetFilter(m_journal.get(), {.batch = QStringLiteral("batch-1")});
    ASSERT_TRUE(model.LastError().isEmpty()) << model.LastError().toStdString();
    EXPECT_TRUE(model.CountIsEstimate());
    std::vector<JournalRecord> expected = NewestFirst(added, ofBatch1);
    const std::vector<int> top = Rows(0, 49);
    EXPECT_EQ(IdsAt(model, top), ExpectedIds(expected, top));

    // Steps of 7 records: their edges fall between records of one time.
    CJournalCounter counter(m_database->Text(), 7);
    std::optional<qint64> counted;
    QList<JournalKey> steps;
    std::optional<JournalTotals> totals;
    QObject::connect(&counter, &CJournalCounter::Counted, [&](quint64, qint64 records, const QList<JournalKey>& keys) {
        counted = records;
        steps = keys;
    });
    QObject::connect(&counter, &CJournalCounter::Totalled, [&](quint64, const JournalTotals& sum) { totals = sum; });
    const JournalFilter countedFilter = model.StartExactCount();
    counter.Request(countedFilter);
    // A record arriving meanwhile goes on top and is added to the exact count.
    JournalRecord arrived = GoodWrite(900000);
    arrived.batch = QStringLiteral("batch-1");
    arrived.time = kStart.addDays(30);
    added.push_back(Added(arrived));
    EXPECT_EQ(model.Refresh(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return totals.has_value(); }, 10000));
    ASSERT_TRUE(counted.has_value());
    model.TakeCount(*counted, steps, 7);
    EXPECT_FALSE(model.CountIsEstimate());
    expected = NewestFirst(added, ofBatch1);
    ASSERT_EQ(model.rowCount(), int(expected.size()));
    // A jump to the middle starts from the nearest step; then every row.
    const std::vector<int> middle = Rows(model.rowCount() / 2 - 1, model.rowCount() / 2 + 1);
    EXPECT_EQ(IdsAt(model, middle), ExpectedIds(expected, middle));
    const std::vector<int> all = Rows(0, model.rowCount() - 1);
    EXPECT_EQ(IdsAt(model, all), ExpectedIds(expected, all));

    // The totals summed step by step are those of the whole filter at once.
    QString error;
    const std::optional<JournalTotals> whole = m_journal->Totals(countedFilter, &error);
    ASSERT_TRUE(whole) << error.toStdString();
    EXPECT_EQ(totals->records, qint64(expected.size()) - 1);
    EXPECT_EQ(totals->records, whole->records);
    EXPECT_EQ(totals->good, whole->good);
    EXPECT_EQ(totals->failed, whole->failed);
    EXPECT_EQ(totals->refused, whole->refused);
    EXPECT_EQ(totals->throwAway, whole->throwAway);
}

TEST_P(JournalModel, TheCounterAnswersItsLatestRequestOnly) {
    const std::vector<JournalRecord> added = GenerateJournal(*m_journal, 500, kStart);
    CJournalCounter counter(m_database->Text(), 7);
    std::map<quint64, qint64> counts;
    std::vector<quint64> totalled;
    QObject::connect(&counter, &CJournalCounter::Counted, [&](quint64 request, qint64 records) { counts[request] = records; });
    QObject::connect(&counter, &CJournalCounter::Totalled, [&](quint64 request, const JournalTotals&) { totalled.push_back(request); });
    const quint64 stale = counter.Request({});
    const quint64 latest = counter.Request({.station = QStringLiteral("station-1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !totalled.empty(); }, 10000));
    EXPECT_EQ(totalled, std::vector<quint64>{latest});
    EXPECT_EQ(counts.count(stale), 0u);
    EXPECT_EQ(counts[latest], qint64(NewestFirst(added, [](const JournalRecord& r) { return r.station == "station-1"; }).size()));
    // A card searched for is counted at once, without steps.
    const quint64 card = counter.Request({.identifierText = QStringLiteral("18:1005")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return counts.count(card) > 0; }, 10000));
    EXPECT_EQ(counts[card], qint64(NewestFirst(added, [](const JournalRecord& r) {
                                return *r.identifier == ((18ull << 32) | 1005);
                            }).size()));
}

INSTANTIATE_TEST_SUITE_P(Engines, JournalModel,
                         ::testing::Values(JournalEngine::SQLite, JournalEngine::PostgreSQL), EngineTestName);

} // namespace
