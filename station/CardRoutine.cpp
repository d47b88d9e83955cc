#include "station/CardRoutine.h"

#include <QThread>

CardOutcome CCardRoutine::WriteCard(CCardSource& source, const CardRequest& request) {
    if (std::optional<CardOutcome> stop = source.Prepare())
        return *stop;
    std::optional<std::uint64_t> overwritten;
    if (source.GuardsCardOnReader()) {
        // A card that reads nothing (some blanks do) may be written.
        const std::optional<std::uint64_t> held =
            request.laidCard ? request.laidCard : ReadCardBeforeWriting(request.verifyDelayMs);
        if (held) {
            QString error;
            const std::optional<JournalRecord> finished = source.FindFinishedCard(*held, &error);
            if (!error.isEmpty())
                return source.Unanswered(*held, error);
            if (finished && !request.overwriteFinished) {
                source.RecordFinishedCard(*held, *finished);
                CardOutcome outcome;
                outcome.result = CardResult::AlreadyWritten;
                outcome.cardId = held;
                outcome.held = held;
                outcome.goodCard = finished;
                return outcome;
            }
            if (finished)
                overwritten = held;
        }
    }
    std::variant<std::uint64_t, CardOutcome> taken = source.Take();
    if (const CardOutcome* stop = std::get_if<CardOutcome>(&taken))
        return *stop;
    const std::uint64_t cardId = std::get<std::uint64_t>(taken);
    if (overwritten == cardId) // the card keeps the number it held
        overwritten.reset();

    CardOutcome outcome;
    outcome.cardId = cardId;
    outcome.held = overwritten;
    const auto step = [&](CardStep done) {
        if (request.onStep)
            request.onStep(done, outcome);
    };
    if (!m_reader.WriteCardId(cardId)) {
        outcome.result = CardResult::WriteError;
        step(CardStep::WriteFailed);
        source.RecordWriteError(cardId);
        return outcome;
    }
    outcome.result = CardResult::Good;
    outcome.overwrote = overwritten.has_value();
    step(CardStep::Written);
    outcome.recorded = source.RecordWritten(cardId, request.verify, overwritten);
    if (request.verify) {
        // The card needs a moment before it can be read back. A plain pause keeps the window from
        // handling another Write (or a reader change) in the middle of this card.
        if (request.verifyDelayMs > 0)
            QThread::msleep(unsigned(request.verifyDelayMs));
        outcome.readBack = m_reader.ReadCardId(true);
        // A failed read-back is a failure, never the identifier 0.
        if (outcome.readBack != cardId)
            outcome.result = CardResult::VerifyFailed;
        m_writtenClock.invalidate();
        step(CardStep::ReadBack);
    } else {
        m_writtenClock.start();
    }
    return source.RecordResult(outcome, request.verify);
}

std::optional<std::uint64_t> CCardRoutine::ReadCardBeforeWriting(int settleMs) {
    // Write pressed again at once: the card just written may not answer yet, and would be taken for a blank.
    if (m_writtenClock.isValid() && m_writtenClock.elapsed() < settleMs)
        QThread::msleep(unsigned(settleMs - m_writtenClock.elapsed()));
    // A read that fails once may be the reader's hiccup on a finished card rather than a blank: only a card
    // that gives nothing to every try is taken for one.
    std::optional<std::uint64_t> held;
    for (int attempt = 0; attempt < READS_BEFORE_WRITING && !held; ++attempt)
        held = m_reader.ReadCardId(true);
    return held;
}
