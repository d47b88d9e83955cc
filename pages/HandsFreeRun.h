#pragma once

// The decisions of a hands-free run on the Mass Production page, apart from any window: the page polls
// the reader every 100 ms and tells the run what each read found; the run says when the card on the
// reader is to be written, waits for a written card to be taken away before the next one, stops after
// three failed cards in a row and says when it has seen no card for a while.

#include <cstdint>
#include <optional>
#include <vector>

class CHandsFreeRun {
public:
    static constexpr int POLL_INTERVAL_MS = 100;
    // Reads in a row without a card that mean the written card was taken away.
    static constexpr int EMPTY_READS_FOR_REMOVAL = 3;
    // Failed cards in a row after which the run stops, so the operator looks at the reader and the cards.
    static constexpr int FAILURES_TO_STOP = 3;
    // Polls without any card after which the operator is told that cards that do not read at all need the
    // Write button (5 seconds).
    static constexpr int POLLS_FOR_NO_CARD_HINT = 50;
    // A card just programmed does not answer reads for a moment (the reason for the pause before a
    // verification): for this many polls after a card that was not read back, a read without a card does
    // not count towards its removal (500 ms).
    static constexpr int SETTLE_POLLS = 5;

    enum class Phase { Idle, WaitingForCard, WaitingForRemoval, Stopped };
    // Batch: the batch the numbers come from gave none (every number taken, its database away, ...).
    enum class StopReason { None, Operator, ReaderGone, Failures, Batch };

    // Begins a run: waiting for a card, no failures counted.
    void Start();
    // Ends the run (the operator, the reader going away); a run that is not going stays as it is.
    void Stop(StopReason reason);

    // One read of the reader: the identifier on it, or none when no card read. True when that card is to be
    // written now; the page then writes it and reports with OnCardDone.
    bool OnPoll(std::optional<std::uint64_t> cardId);

    // What became of the card handed out by OnPoll: whether it is good, and every identifier the card may
    // hold now (the one read before writing, the one written, the one read back), by which it is known
    // until it is taken away. bReadBack tells that the card was read back after programming, so it has
    // settled. Three failed cards in a row stop the run.
    void OnCardDone(bool bGood, const std::vector<std::uint64_t>& cardIds, bool bReadBack);
    // The card handed out by OnPoll was left as it was (a finished card laid again): it counts neither as
    // good nor as failed, and the run waits for it to be taken away.
    void OnCardLeftAsItWas();

    Phase GetPhase() const { return m_phase; }
    bool IsRunning() const { return m_phase == Phase::WaitingForCard || m_phase == Phase::WaitingForRemoval; }
    StopReason GetStopReason() const { return m_stopReason; }
    int GetFailuresInARow() const { return m_nFailuresInARow; }
    // True while the run waits for a card and has seen none for POLLS_FOR_NO_CARD_HINT polls.
    bool ShowNoCardHint() const;

private:
    bool IsCardOnReader(std::uint64_t cardId) const;

    Phase m_phase = Phase::Idle;
    StopReason m_stopReason = StopReason::None;
    int m_nFailuresInARow = 0;
    int m_nEmptyReads = 0;
    int m_nPollsWithoutCard = 0;
    int m_nSettlePolls = 0;
    std::vector<std::uint64_t> m_cardOnReader;
};
