#include "station/StationNaming.h"

QString StationNameForReader(const QString& name, const QString& host, std::size_t readersPlugged,
                             const QString& readerId) {
    if (name != host || readersPlugged < 2 || readerId.isEmpty())
        return name;
    return host + QLatin1Char(':') + readerId;
}
