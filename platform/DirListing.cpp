#include "platform/DirListing.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

bool FileNameLess(const QString& a, const QString& b) {
    const int folded = a.toUpper().compare(b.toUpper());
    return folded != 0 ? folded < 0 : a < b;
}

QStringList ListFilesBySuffix(const QString& strFolder, const QString& strSuffix) {
    const QDir folder(strFolder);
    QStringList names;
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : entries) {
        // Only plain files count; a symbolic link is followed to what it names.
        if (name.endsWith(strSuffix, Qt::CaseInsensitive) && QFileInfo(folder.filePath(name)).isFile())
            names.append(name);
    }
    std::sort(names.begin(), names.end(), FileNameLess);
    return names;
}
