// The journal's reasons taken apart again, so a window can show them in its language: every reason the
// program stores is found with its values, and other text is left alone.

#include "journal/JournalReasons.h"

#include <QTimeZone>

#include <gtest/gtest.h>

TEST(JournalReasonText, EveryStoredReasonIsFoundWithItsValues) {
    JournalRecord good;
    good.time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone::utc());
    good.station = QStringLiteral("Line 7, back; 100%");
    const QString time = JournalTimeText(good.time);
    const struct {
        QString reason;
        ReasonKind kind;
        QStringList values;
    } cases[] = {
        {NotANumberReason(NumberTextError::OutOfRange), ReasonKind::OutOfRange, {}},
        {NotANumberReason(NumberTextError::NotANumber), ReasonKind::NotANumber, {}},
        {NotRecordedReason(), ReasonKind::NotRecorded, {}},
        {TransferFailedReason(), ReasonKind::TransferFailed, {}},
        {DuplicateReason(good), ReasonKind::Duplicate, {time, good.station}},
        {FinishedCardReason(0x1200000005ull, good), ReasonKind::FinishedCard,
         {QStringLiteral("0077309411333"), time, good.station}},
        {OverwrittenReason(42), ReasonKind::Overwritten, {QStringLiteral("0000000000042")}},
        {VerifyFailedReason(7), ReasonKind::CardHolds, {QStringLiteral("0000000000007")}},
        {VerifyFailedReason(std::nullopt), ReasonKind::CardHoldsNothing, {}},
    };
    for (const auto& c : cases) {
        const std::optional<ReasonParts> parts = ParseReason(c.reason);
        ASSERT_TRUE(parts) << c.reason.toStdString();
        EXPECT_EQ(parts->kind, c.kind) << c.reason.toStdString();
        EXPECT_EQ(parts->values, c.values) << c.reason.toStdString();
        EXPECT_TRUE(parts->backToBatch.isEmpty());
    }
    const std::optional<ReasonParts> back = ParseReason(OverwrittenReason(42) + QStringLiteral("; back to batch order 2"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, ReasonKind::Overwritten);
    EXPECT_EQ(back->backToBatch, QStringLiteral("order 2"));
}

TEST(JournalReasonText, OtherWordsAreNoReason) {
    for (const char* text : {"", "Transfer failed", "not a number!", "overwritten with 42", "the card holds 0x12",
                             "already on a good card: yesterday"})
        EXPECT_FALSE(ParseReason(QString::fromLatin1(text))) << text;
}
