#include "station/HandsFreeRun.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t kBlank = 0;
constexpr std::uint64_t kOther = 777;

// A run that has written its first card (held kBlank, now holds 1).
CHandsFreeRun RunWithOneCardWritten(bool bGood = true) {
    CHandsFreeRun run;
    run.Start();
    EXPECT_TRUE(run.OnPoll(kBlank));
    run.OnCardDone(bGood, {kBlank, 1}, true);
    return run;
}

// Polls the run n times with the same read; returns how many of them asked for a write.
int Poll(CHandsFreeRun& run, std::optional<std::uint64_t> cardId, int n) {
    int writes = 0;
    for (int i = 0; i < n; ++i)
        writes += run.OnPoll(cardId) ? 1 : 0;
    return writes;
}

} // namespace

TEST(HandsFreeRun, WritesOnlyWhileRunningAndOnlyWhenACardReads) {
    CHandsFreeRun run;
    EXPECT_FALSE(run.OnPoll(kBlank)) << "not started";
    run.Start();
    EXPECT_EQ(Poll(run, std::nullopt, 10), 0);
    EXPECT_TRUE(run.OnPoll(kOther));
    EXPECT_EQ(run.GetPhase(), CHandsFreeRun::Phase::WaitingForRemoval);
    run.Stop(CHandsFreeRun::StopReason::Operator);
    EXPECT_FALSE(run.IsRunning());
    EXPECT_EQ(run.GetStopReason(), CHandsFreeRun::StopReason::Operator);
    EXPECT_EQ(Poll(run, kOther, 3) + Poll(run, std::nullopt, 5) + Poll(run, 1, 1), 0);
}

TEST(HandsFreeRun, ACardLeftOnTheReaderIsWrittenOnceWhateverItHoldsNow) {
    CHandsFreeRun run = RunWithOneCardWritten();
    // It reads as what it held, as what was written, or, between them, with a failed read or two.
    EXPECT_EQ(Poll(run, 1, 20) + Poll(run, kBlank, 2) + Poll(run, std::nullopt, 2) + Poll(run, 1, 1) +
                  Poll(run, std::nullopt, 2) + Poll(run, 1, 5),
              0);
    EXPECT_EQ(run.GetPhase(), CHandsFreeRun::Phase::WaitingForRemoval);
}

TEST(HandsFreeRun, ThreeEmptyReadsOrADifferentCardMeanTheCardWasTakenAway) {
    CHandsFreeRun run = RunWithOneCardWritten();
    EXPECT_EQ(Poll(run, std::nullopt, 3), 0);
    EXPECT_EQ(run.GetPhase(), CHandsFreeRun::Phase::WaitingForCard);
    EXPECT_TRUE(run.OnPoll(1)) << "the same card laid again is written again";

    run.OnCardDone(true, {1, 2}, true);
    EXPECT_TRUE(run.OnPoll(kOther)) << "a card swapped in without a gap is written at once";
    run.OnCardDone(true, {kOther, 3}, true);
    EXPECT_EQ(Poll(run, 3, 2) + Poll(run, kOther, 2), 0);
}

TEST(HandsFreeRun, ThreeFailedCardsInARowStopTheRunAGoodCardResetsTheCount) {
    CHandsFreeRun run = RunWithOneCardWritten(false);
    for (bool bGood : {false, true, false, false}) {
        Poll(run, std::nullopt, 3);
        ASSERT_TRUE(run.OnPoll(kBlank));
        run.OnCardDone(bGood, {kBlank}, true);
    }
    EXPECT_TRUE(run.IsRunning());
    EXPECT_EQ(run.GetFailuresInARow(), 2);
    Poll(run, std::nullopt, 3);
    ASSERT_TRUE(run.OnPoll(kBlank));
    run.OnCardDone(false, {kBlank}, true);
    EXPECT_FALSE(run.IsRunning());
    EXPECT_EQ(run.GetStopReason(), CHandsFreeRun::StopReason::Failures);

    run.Start();
    EXPECT_EQ(run.GetFailuresInARow(), 0);
    EXPECT_TRUE(run.OnPoll(kBlank));
}

TEST(HandsFreeRun, NoCardHintAfterFiveSecondsWithoutACardUntilOneReads) {
    CHandsFreeRun run;
    run.Start();
    Poll(run, std::nullopt, CHandsFreeRun::POLLS_FOR_NO_CARD_HINT - 1);
    EXPECT_FALSE(run.ShowNoCardHint());
    Poll(run, std::nullopt, 1);
    EXPECT_TRUE(run.ShowNoCardHint());
    run.OnPoll(kBlank);
    EXPECT_FALSE(run.ShowNoCardHint());
    run.OnCardDone(true, {kBlank, 1}, true);
    // Waiting for the written card to go away is not waiting for a card.
    Poll(run, 1, CHandsFreeRun::POLLS_FOR_NO_CARD_HINT);
    EXPECT_FALSE(run.ShowNoCardHint());
    Poll(run, std::nullopt, CHandsFreeRun::EMPTY_READS_FOR_REMOVAL + CHandsFreeRun::POLLS_FOR_NO_CARD_HINT - 1);
    EXPECT_FALSE(run.ShowNoCardHint());
    Poll(run, std::nullopt, 1);
    EXPECT_TRUE(run.ShowNoCardHint());
}

TEST(HandsFreeRun, ACardNotReadBackMayFailReadsWhileItSettlesWithoutCountingAsTakenAway) {
    CHandsFreeRun run;
    run.Start();
    ASSERT_TRUE(run.OnPoll(kBlank));
    run.OnCardDone(true, {kBlank, 1}, false);
    EXPECT_EQ(Poll(run, std::nullopt, CHandsFreeRun::SETTLE_POLLS), 0);
    EXPECT_EQ(run.GetPhase(), CHandsFreeRun::Phase::WaitingForRemoval);
    EXPECT_EQ(Poll(run, std::nullopt, CHandsFreeRun::EMPTY_READS_FOR_REMOVAL), 0);
    EXPECT_EQ(run.GetPhase(), CHandsFreeRun::Phase::WaitingForCard);
    // A card swapped in while the last one settles is written at once.
    ASSERT_TRUE(run.OnPoll(kBlank));
    run.OnCardDone(true, {kBlank, 2}, false);
    EXPECT_TRUE(run.OnPoll(kOther));
}
