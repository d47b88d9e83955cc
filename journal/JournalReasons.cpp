#include "journal/JournalReasons.h"

#include <QRegularExpression>

#include <vector>

QString NotANumberReason(NumberTextError error) {
    return error == NumberTextError::OutOfRange ? QStringLiteral("out of range")
                                                : QStringLiteral("not a number");
}

QString NotRecordedReason() {
    return QStringLiteral("the journal could not record it");
}

QString TransferFailedReason() {
    return QStringLiteral("transfer failed");
}

QString DuplicateReason(const JournalRecord& goodCard) {
    return QStringLiteral("already on a good card: %1, %2")
        .arg(JournalTimeText(goodCard.time), goodCard.station);
}

QString FinishedCardReason(std::uint64_t heldId, const JournalRecord& goodCard) {
    return QStringLiteral("the card on the reader already holds %1, a good card: %2, %3")
        .arg(CardIdText(heldId), JournalTimeText(goodCard.time), goodCard.station);
}

QString OverwrittenReason(std::uint64_t writtenId) {
    return QStringLiteral("overwritten with %1").arg(CardIdText(writtenId));
}

QString VerifyFailedReason(std::optional<std::uint64_t> readBack) {
    return QStringLiteral("the card holds ") +
           (readBack ? CardIdText(*readBack) : QStringLiteral("nothing readable"));
}

namespace {

// The reasons' fixed words around their values: identifiers are 13 digits, times the stored form, and a
// station the rest of the text.
struct ReasonPattern {
    ReasonKind kind;
    const char* pattern;
};
const ReasonPattern kPatterns[] = {
    {ReasonKind::OutOfRange, "out of range"},
    {ReasonKind::NotANumber, "not a number"},
    {ReasonKind::NotRecorded, "the journal could not record it"},
    {ReasonKind::TransferFailed, "transfer failed"},
    {ReasonKind::Duplicate, "already on a good card: (\\S+Z), (.*)"},
    {ReasonKind::FinishedCard, "the card on the reader already holds (\\d{13}), a good card: (\\S+Z), (.*)"},
    {ReasonKind::Overwritten, "overwritten with (\\d{13})"},
    {ReasonKind::CardHoldsNothing, "the card holds nothing readable"},
    {ReasonKind::CardHolds, "the card holds (\\d{13})"},
};

std::vector<std::pair<ReasonKind, QRegularExpression>> CompiledPatterns() {
    std::vector<std::pair<ReasonKind, QRegularExpression>> compiled;
    for (const ReasonPattern& pattern : kPatterns)
        compiled.emplace_back(pattern.kind,
                              QRegularExpression(QLatin1String("^") + QLatin1String(pattern.pattern) + QLatin1String("$"),
                                                 QRegularExpression::DotMatchesEverythingOption));
    return compiled;
}

} // namespace

std::optional<ReasonParts> ParseReason(const QString& reason) {
    static const QRegularExpression backToBatch(QStringLiteral("^(.*); back to batch (.*)$"),
                                                QRegularExpression::DotMatchesEverythingOption);
    ReasonParts parts;
    QString text = reason;
    if (const QRegularExpressionMatch match = backToBatch.match(reason); match.hasMatch()) {
        text = match.captured(1);
        parts.backToBatch = match.captured(2);
    }
    static const std::vector<std::pair<ReasonKind, QRegularExpression>> patterns = CompiledPatterns();
    for (const auto& [kind, expression] : patterns) {
        const QRegularExpressionMatch match = expression.match(text);
        if (!match.hasMatch())
            continue;
        parts.kind = kind;
        for (int i = 1; i <= match.lastCapturedIndex(); ++i)
            parts.values << match.captured(i);
        return parts;
    }
    return std::nullopt;
}
