#pragma once

// The result of a batch card that is written but not yet recorded, kept in a small file of the data
// folder so that it outlives the process: a station stopped or killed while it waits for the database
// records that card first when it runs again, and the card keeps its place in the batch.
//
// One file per station and database (the file name is derived from both; the database text itself,
// which may name a password-protected server, is not stored). A station has at most one such result.

#include "batches/BatchCard.h"

#include <QString>

#include <optional>

// The file that keeps the station's waiting result for the database named by connection.
QString PendingResultPath(const QString& folder, const QString& station, const QString& connection);

// Writes the result atomically; false with *error set when the file cannot be written.
bool SavePendingResult(const QString& path, const QString& station, const BatchCardEvent& event, QString* error);

struct PendingResultFile {
    std::optional<BatchCardEvent> event; // a waiting result of the station
    QString problem; // a file that could not be read: what is wrong and where it was put aside
};

// Reads the file when there is one. A damaged file, or one of another station, is renamed to
// path + ".damaged" so it is not read again, and is said in problem; its card cannot be recorded.
PendingResultFile LoadPendingResult(const QString& path, const QString& station);

// Removes the file once its result is recorded (no file is fine).
bool RemovePendingResult(const QString& path, QString* error);
