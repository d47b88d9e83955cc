#pragma once

// `rfidctl db init`: the schema of the journal and its batches, and on PostgreSQL the role that
// stations log in with. The station role may read, claim numbers and add records, but may neither
// change nor delete a journal record, nor create, change or delete batches.

#include <QSqlDatabase>
#include <QString>

inline constexpr char DEFAULT_STATION_ROLE[] = "rfid_station";
// The supervisors' role: it may read the journal and the batches (the Batches window, `batch status`,
// reports) and change nothing.
inline constexpr char SUPERVISOR_ROLE[] = "rfid_supervisor";

// Role names that need no quoting: a lower-case letter or "_", then letters, digits, "_" (at most 63).
bool IsValidRoleName(const QString& role);

// Creates what is missing (tables, the station role and the supervisors' role) and grants the roles
// their rights; running it again changes
// nothing. On SQLite there are no roles: only the schema is made. Returns false with *error set.
bool InitDatabase(QSqlDatabase& db, const QString& stationRole, QString* notes, QString* error);
