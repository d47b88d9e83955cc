#pragma once

#include <QString>
#include <QStringList>

// The names of the plain files in strFolder whose names end in strSuffix (compared without regard
// to case, as "*.ini" matches on the usual case-insensitive file system), in ascending order of
// name without regard to case. Directories and entries that cannot be read as files are left out;
// a missing or unreadable folder gives an empty list.
QStringList ListFilesBySuffix(const QString& strFolder, const QString& strSuffix);

// Orders file names the way the usual file system lists them: by their upper-case forms, then,
// for names that differ only in case, by the names themselves so the order is always the same.
bool FileNameLess(const QString& a, const QString& b);
