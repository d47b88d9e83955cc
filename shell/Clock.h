#pragma once

#include <QString>
#include <ctime>

// The clock text of the status bar: the time in local time as "%H:%M:%S"; empty when the
// conversion or the formatting fails.
QString FormatClock(std::time_t time);
