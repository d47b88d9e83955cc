#pragma once

// Several stations on one computer: each process on its own reader is a station of its own. A station
// that has no configured name is named after the host; on a computer with several readers that name
// would be the same for all of them (and a second station would be refused its name), so there it is
// named after the host and its reader.

#include <QString>

#include <cstddef>

// name: the station's name as configured, or the host's name when none is (the default). readersPlugged:
// how many readers the computer has; readerId: the id of this station's reader.
QString StationNameForReader(const QString& name, const QString& host, std::size_t readersPlugged,
                             const QString& readerId);
