#include "shell/Clock.h"

QString FormatClock(std::time_t time) {
    std::tm local{};
    if (!localtime_r(&time, &local))
        return QString();
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%H:%M:%S", &local);
    return length == 0 ? QString() : QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
}
