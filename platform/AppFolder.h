#pragma once

#include <QString>

// The folder of the running executable (where "setting.ini" and the "Language" folder live),
// without a trailing separator; empty when the executable's path cannot be read.
QString ExecutableFolder();
