#pragma once

// One entry of the production journal: what happened to which card, when, where and by whom.
//
// The journal is the system of record of a shift: every read, write, verification and refused write
// of the pages and of rfidctl is one record. Source, operation and result are stored as short fixed
// keys ("mass-production", "write", "verify-failed"), so records stay readable by other programs
// and by the next version of this one.

#include "platform/System.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

enum class JournalSource { ReadWritePage, MassProduction, Rfidctl };
// Overwrite: the card that held the record's identifier was written with another number, so that
// identifier is on one good card fewer (the reason names the new number).
enum class JournalOperation { Read, Write, Verify, Overwrite };
enum class JournalResult { Ok, Error, Refused, VerifyOk, VerifyFailed };

// What a record says about a card, for totals and for telling cards apart at a glance.
enum class CardStatus {
    None,      // a read, or a write whose verification is still to come
    Good,      // written and verified, or written with Verify off
    Failed,    // a write that failed: the card did not get the number
    ThrowAway, // written, but the card read back holds something else
    Refused,   // a write refused before any card was touched
    Overwritten, // a good card written with another number: its identifier is on it no longer
};

struct JournalRecord {
    std::int64_t id = 0;   // given by the journal when the record is added
    QDateTime time;        // UTC, milliseconds; the journal fills in the current time when empty
    QString station;       // the recorder fills in its station when empty
    QString user;          // the recorder fills in the login user when empty
    JournalSource source = JournalSource::ReadWritePage;
    JournalOperation operation = JournalOperation::Read;
    std::optional<std::uint64_t> identifier; // none for a read that gave nothing
    JournalResult result = JournalResult::Ok;
    QString reason;        // why a write was refused or failed; what a failed verification read back
    bool verifyRequested = false; // a write that its verification record will follow
    QString readerName;
    QString readerVersion;
    QString batch;         // the batch whose number the card was given, empty for any other card
};

QString SourceKey(JournalSource source);
QString OperationKey(JournalOperation operation);
QString ResultKey(JournalResult result);
// The same keys as ASCII text that stays for the program's life: an export writes them without allocating.
const char* SourceKeyAscii(JournalSource source);
const char* OperationKeyAscii(JournalOperation operation);
const char* ResultKeyAscii(JournalResult result);
std::optional<JournalSource> SourceFromKey(const QString& key);
std::optional<JournalOperation> OperationFromKey(const QString& key);
std::optional<JournalResult> ResultFromKey(const QString& key);

CardStatus StatusOf(JournalOperation operation, JournalResult result, bool verifyRequested);
inline CardStatus StatusOf(const JournalRecord& record) {
    return StatusOf(record.operation, record.result, record.verifyRequested);
}

// The stored form of a time: ISO 8601 in UTC with milliseconds ("2026-12-08T06:01:15.123Z"). Every
// stored time has the same length, so text order is time order on every engine.
QString JournalTimeText(const QDateTime& time);
// Whether text is a stored time exactly as JournalTimeText writes it (a valid time, nothing around it), so
// that it can be copied as it is instead of being read and written again.
bool IsStoredTimeText(QStringView text);
// A stored time, or a time typed by the operator (ISO 8601 date or date and time, UTC unless it says
// otherwise); an invalid QDateTime for anything else.
QDateTime JournalTimeFromText(const QString& text);

