#pragma once

// The language files shipped with the program (resources/languages/shipped), for the tests that measure
// and check every language the program speaks.

#include "tests/support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

// The shipped files' paths, by name.
inline QStringList ShippedLanguageFiles() {
    const QDir shipped(TestSourcePath(QStringLiteral("resources/languages/shipped")));
    QStringList files;
    for (const QString& name : shipped.entryList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name))
        files << shipped.filePath(name);
    return files;
}

// Copies the shipped files into appFolder/Language beside the built-in ones, as the build and the
// package put them beside the program. False when one could not be copied.
inline bool ProvideShippedLanguages(const QString& appFolder) {
    QDir().mkpath(appFolder + QStringLiteral("/Language"));
    bool ok = true;
    for (const QString& file : ShippedLanguageFiles())
        ok = QFile::copy(file, appFolder + QStringLiteral("/Language/") + QFileInfo(file).fileName()) && ok;
    return ok;
}
