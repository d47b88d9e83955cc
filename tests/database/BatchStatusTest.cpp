// The figures of batches while stations fill them, on an SQLite file and the test's own PostgreSQL
// server: counts, the rate over the last ten minutes, the time to finish, the state, and each station.

#include "batches/BatchStatus.h"
#include "tests/support/BatchTestSupport.h"
#include "tests/support/EngineTest.h"

#include <gtest/gtest.h>

namespace {

class BatchFiguresTest : public BatchLineTest {
protected:
    BatchFigures Figures(const QString& name) {
        QString error;
        const std::optional<BatchFigures> figures = ReadBatchFigures(m_db, name, QDateTime::currentDateTimeUtc(), &error);
        EXPECT_TRUE(figures) << error.toStdString();
        return figures.value_or(BatchFigures{});
    }

    std::map<QString, StationFigures> Stations(const QString& batch) {
        QString error;
        std::map<QString, StationFigures> byName;
        for (const StationFigures& station : ReadStationFigures(m_db, batch, QDateTime::currentDateTimeUtc(), &error))
            byName[station.name] = station;
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return byName;
    }

};

int CardsOf(const StationRate& rate) {
    int cards = 0;
    for (const StationMinute& minute : rate.minutes)
        cards += minute.cards;
    return cards;
}

} // namespace

TEST_P(BatchFiguresTest, TwoStationsFillingABatchGiveItsRateTimeToFinishAndTheirOwnFigures) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 20, BatchOrder::InOrder}, &error)) << error.toStdString();
    ASSERT_TRUE(m_line->Good("line 1", "order", 1));
    ASSERT_TRUE(m_line->MoveBack(m_db, "order", 1800)); // half an hour ago: outside the rate's window
    ASSERT_TRUE(m_line->Good("line 1", "order", 2));
    ASSERT_TRUE(m_line->ThrowAway("line 1", "order")); // its number stays claimed
    ASSERT_TRUE(m_line->Good("line 2", "order", 1));
    ASSERT_TRUE(m_line->Hold("line 2", "order"));
    m_line->StopStation("line 2");

    const BatchFigures figures = Figures("order");
    EXPECT_EQ(figures.Good(), 4);
    EXPECT_EQ(figures.info.counts.claimed, 2);
    EXPECT_EQ(figures.info.counts.throwAway, 1);
    EXPECT_EQ(figures.info.counts.left, 14);
    EXPECT_EQ(figures.Percent(), 20);
    // Three cards within the last minute count as three a minute, not three in ten minutes.
    EXPECT_DOUBLE_EQ(figures.cardsPerMinute, 3.0);
    EXPECT_EQ(figures.secondsToFinish, std::optional<std::int64_t>(16 * 60 / 3));
    EXPECT_EQ(figures.state, BatchState::Running);

    std::map<QString, StationFigures> stations = Stations("order");
    ASSERT_EQ(stations.size(), 2u);
    EXPECT_EQ(stations["line 1"].cards, 3);
    EXPECT_EQ(stations["line 1"].failures, 1);
    EXPECT_EQ(stations["line 1"].claimed, 1);
    EXPECT_EQ(stations["line 1"].activity, StationActivity::Working);
    EXPECT_EQ(stations["line 1"].host, StationHostName());
    EXPECT_FALSE(stations["line 1"].lastSeen.isEmpty());
    EXPECT_EQ(stations["line 2"].cards, 1);
    EXPECT_EQ(stations["line 2"].claimed, 1);
    EXPECT_EQ(stations["line 2"].activity, StationActivity::Away);

    const std::vector<StationRate> rates = ReadStationRates(m_db, "order", &error);
    ASSERT_EQ(rates.size(), 2u) << error.toStdString();
    EXPECT_EQ(rates[0].station, "line 1");
    EXPECT_EQ(CardsOf(rates[0]), 3);
    EXPECT_GE(rates[0].minutes.size(), 2u); // the card of half an hour ago has a minute of its own
    EXPECT_EQ(CardsOf(rates[1]), 1);

    // A released number is left again; the figures, read without going through every claim, agree with
    // the batch's own counts.
    ASSERT_EQ(ReleaseStationClaims(m_db, "order", "line 2", &error), 1) << error.toStdString();
    const BatchFigures released = Figures("order");
    const BatchCounts counted = FindBatch(m_db, "order", &error)->counts;
    EXPECT_EQ(released.info.counts.left, 15);
    for (const BatchCounts& counts : {released.info.counts, counted}) {
        EXPECT_EQ(counts.Done(), 4);
        EXPECT_EQ(counts.claimed, 1);
        EXPECT_EQ(counts.left, 15);
    }

    // Nothing finished for twenty minutes: paused, no time to finish, the running station idle.
    ASSERT_TRUE(m_line->MoveBack(m_db, "order", 1200));
    const BatchFigures paused = Figures("order");
    EXPECT_EQ(paused.state, BatchState::Paused);
    EXPECT_EQ(paused.cardsPerMinute, 0.0);
    EXPECT_FALSE(paused.secondsToFinish);
    EXPECT_EQ(Stations("order")["line 1"].activity, StationActivity::Idle);
}

TEST_P(BatchFiguresTest, ALongHistoryBeforeTheWindowLeavesTheRateToTheCardsOfTheWindow) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "order", {18, 1, 500, BatchOrder::Random}, &error));
    ASSERT_TRUE(m_line->Good("line 1", "order", 200));
    ASSERT_TRUE(m_line->MoveBack(m_db, "order", 3600));
    ASSERT_TRUE(m_line->Good("line 1", "order", 70));
    const BatchFigures figures = Figures("order");
    EXPECT_EQ(figures.Good(), 270);
    EXPECT_DOUBLE_EQ(figures.cardsPerMinute, 70.0);
    EXPECT_EQ(figures.secondsToFinish, std::optional<std::int64_t>(230 * 60 / 70 + 1)); // rounded up
}

TEST_P(BatchFiguresTest, EveryBatchIsListedUntouchedOrFinishedWithTheFiguresOfEachAlone) {
    QString error;
    ASSERT_TRUE(CreateRangeBatch(m_db, "untouched", {18, 1, 1000, BatchOrder::Random}, &error));
    ASSERT_TRUE(CreateListBatch(m_db, "small", {(18ull << 32) | 7, (19ull << 32) | 8}, &error));
    ASSERT_TRUE(m_line->Good("line 1", "small", 2));

    const std::vector<BatchFigures> all = ReadAllBatchFigures(m_db, QDateTime::currentDateTimeUtc(), &error);
    ASSERT_EQ(all.size(), 2u) << error.toStdString();
    for (const BatchFigures& figures : all) {
        const BatchFigures alone = Figures(figures.info.name);
        EXPECT_EQ(alone.Good(), figures.Good());
        EXPECT_EQ(alone.state, figures.state);
        EXPECT_EQ(alone.secondsToFinish, figures.secondsToFinish);
    }
    const BatchFigures untouched = Figures("untouched");
    EXPECT_EQ(untouched.state, BatchState::NotStarted);
    EXPECT_EQ(untouched.Percent(), 0);
    EXPECT_FALSE(untouched.secondsToFinish);
    EXPECT_TRUE(Stations("untouched").empty());
    const BatchFigures small = Figures("small");
    EXPECT_EQ(small.state, BatchState::Finished);
    EXPECT_EQ(small.Percent(), 100);
    EXPECT_EQ(small.secondsToFinish, std::optional<std::int64_t>(0));
    EXPECT_FALSE(ReadBatchFigures(m_db, "no such batch", QDateTime::currentDateTimeUtc(), &error));
}

TEST(BatchFigureTexts, DurationsReadAsHoursMinutesOrSeconds) {
    EXPECT_EQ(DurationText(std::nullopt), "-");
    EXPECT_EQ(DurationText(42), "42 s");
    EXPECT_EQ(DurationText(250), "4 min 10 s");
    EXPECT_EQ(DurationText(3900), "1 h 05 min");
}

INSTANTIATE_TEST_SUITE_P(Engines, BatchFiguresTest,
                         ::testing::Values(JournalEngine::SQLite, JournalEngine::PostgreSQL), EngineTestName);
