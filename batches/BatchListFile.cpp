#include "batches/BatchListFile.h"

#include <QFile>
#include <QFileInfo>

ListFile ReadListFile(const QString& path) {
    ListFile file;
    const QFileInfo info(path);
    if (!info.isFile()) {
        file.problem = ListFileProblem::NotAFile;
        return file;
    }
    if (info.size() > MAX_LIST_FILE_BYTES) {
        file.problem = ListFileProblem::TooLarge;
        return file;
    }
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly)) {
        file.problem = ListFileProblem::CannotRead;
        file.reason = input.errorString();
        return file;
    }
    // One byte more than allowed: a file that grew since it was measured is still refused.
    const QByteArray bytes = input.read(MAX_LIST_FILE_BYTES + 1);
    if (bytes.size() > MAX_LIST_FILE_BYTES) {
        file.problem = ListFileProblem::TooLarge;
        return file;
    }
    file.list = ParseIdentifierList(bytes);
    return file;
}
