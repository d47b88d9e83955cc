#pragma once

// A list file to import as a list batch, read under the limits every importer keeps (rfidctl and the
// Batches window alike): a plain file only (a pipe or a device could block for ever), no larger than a
// list of MAX_LIST_LINES identifiers can be, then parsed line by line.

#include "batches/Batch.h"

#include <QString>

#include <optional>

// A list file with generous line endings fits; a bigger file is no list.
constexpr qint64 MAX_LIST_FILE_BYTES = qint64(MAX_LIST_LINES) * 64;

enum class ListFileProblem { None, NotAFile, TooLarge, CannotRead };

struct ListFile {
    ListFileProblem problem = ListFileProblem::None;
    QString reason;  // CannotRead: the system's words
    ParsedList list; // problem None: the identifiers, or the bad lines
};

ListFile ReadListFile(const QString& path);
