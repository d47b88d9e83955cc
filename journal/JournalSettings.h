#pragma once

// The [Journal] section of setting.ini in the data folder:
//
//   Enabled=1            0 turns the journal off: cards are written without being recorded
//   Station=NAME         the station's name in every record (default: the host name)
//   RefuseDuplicates=1   0 lets Mass Production write a number that is already on a good card
//   Database=TEXT        the journal's database: a file, or postgresql://user@host:port/dbname for a
//                        server shared by several stations (default: journal.sqlite here)

#include <QString>

struct JournalSettings {
    bool enabled = true;
    QString station;
    bool refuseDuplicates = true;
    QString connection; // what CJournal::Open takes: by default journal.sqlite in the data folder
};

inline constexpr const char* JOURNAL_FILE_NAME = "journal.sqlite";

// The settings stored in dataFolder/setting.ini; missing keys keep their defaults.
JournalSettings ReadJournalSettings(const QString& dataFolder);

// The station name to use: the stored one, else the host name.
QString StationName(const QString& stored);
