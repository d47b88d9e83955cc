#pragma once

// The checkout's and the build's folders, for tests that read files of the checkout or leave pictures
// in the build. They come from one source file, so that no other test source carries a machine's paths
// on its command line and a clone elsewhere reuses the compiler cache.

#include <QString>

QString TestSourcePath(const QString& relative);
QString TestBuildPath(const QString& relative);
