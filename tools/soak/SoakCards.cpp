#include "tools/soak/SoakCards.h"

#include "batches/Batch.h"
#include "journal/Journal.h"

#include <set>

std::map<std::uint64_t, int> GoodCardNumbers(const CardShelf& shelf) {
    std::map<std::uint64_t, int> numbers;
    for (const FinishedCard& card : shelf)
        if (card.fate == CardFate::Good && card.holds)
            ++numbers[*card.holds];
    return numbers;
}

bool IsOnAGoodCard(const CardShelf& shelf, std::uint64_t identifier) {
    for (const FinishedCard& card : shelf)
        if (card.fate == CardFate::Good && card.holds == identifier)
            return true;
    return false;
}

LogVerdict JudgeAgainstLog(const CardShelf& shelf) {
    LogVerdict verdict;
    for (const FinishedCard& card : shelf)
        verdict.wrong += card.fate == CardFate::Good && card.holds != card.logged ? 1 : 0;
    const std::map<std::uint64_t, int> good = GoodCardNumbers(shelf);
    for (const auto& [number, count] : good)
        verdict.onTwoGood += count > 1 ? 1 : 0;
    if (!good.empty())
        verdict.skipped = int(good.rbegin()->first - good.begin()->first + 1 - good.size());
    for (const FinishedCard& card : shelf)
        verdict.alsoThrown += card.fate == CardFate::ThrownAway && card.holds && good.count(*card.holds) ? 1 : 0;
    return verdict;
}

RecordVerdict JudgeAgainstRecord(const CardShelf& shelf, const std::map<std::uint64_t, int>& recordedGood) {
    RecordVerdict verdict;
    verdict.read = true;
    const std::map<std::uint64_t, int> good = GoodCardNumbers(shelf);
    std::set<std::uint64_t> held;
    for (const FinishedCard& card : shelf)
        if (card.holds)
            held.insert(*card.holds);
    for (const auto& [number, times] : recordedGood) {
        ++verdict.goodNumbers;
        verdict.notOnAGoodCard += good.count(number) ? 0 : 1;
        verdict.onNoCardAtAll += held.count(number) ? 0 : 1;
        verdict.recordedTwice += times > 1 ? 1 : 0;
    }
    for (const auto& [number, cards] : good)
        verdict.cardsNotOnRecord += recordedGood.count(number) ? 0 : cards;
    return verdict;
}

std::optional<std::map<std::uint64_t, int>> JournalGoodNumbers(CJournal& journal, QString* error) {
    // Each overwrite record takes one good card of its number off the record.
    std::map<std::uint64_t, int> numbers;
    const bool read = journal.ForEach(
        JournalFilter(),
        [&numbers](const JournalRecord& record) {
            const CardStatus status = StatusOf(record);
            if (record.identifier && status == CardStatus::Good)
                ++numbers[*record.identifier];
            if (record.identifier && status == CardStatus::Overwritten)
                --numbers[*record.identifier];
            return true;
        },
        error);
    if (!read)
        return std::nullopt;
    std::erase_if(numbers, [](const auto& entry) { return entry.second <= 0; });
    return numbers;
}

std::optional<std::map<std::uint64_t, int>> BatchGoodNumbers(CJournal& journal, const QString& batch,
                                                             QString* error) {
    const std::vector<BatchReportLine> report = BatchReport(journal.Database(), batch, error);
    if (!error->isEmpty())
        return std::nullopt;
    std::map<std::uint64_t, int> numbers;
    for (const BatchReportLine& line : report)
        if (line.state == QStringLiteral("written") || line.state == QStringLiteral("verified"))
            ++numbers[line.identifier];
    return numbers;
}
