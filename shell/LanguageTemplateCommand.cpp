#include "shell/LanguageTemplateCommand.h"

#include "language/MultiLanguage.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

const QString kOption = QStringLiteral("--language-template");

int Fail(const QString& message) {
    std::fprintf(stderr, "RFID: %s\n", message.toLocal8Bit().constData());
    return 1;
}

} // namespace

std::optional<int> WriteLanguageTemplateWhenAsked(const QStringList& arguments) {
    const qsizetype option = arguments.indexOf(kOption);
    if (option < 0)
        return std::nullopt;
    if (option + 1 >= arguments.size())
        return Fail(QStringLiteral("%1 needs the file to write, for example Language/Nederlands.ini").arg(kOption));
    const QString path = arguments[option + 1];
    // The file's name is the language's first name; the translator writes its own name after Language=.
    const QByteArray text = LanguageTemplate(QFileInfo(path).completeBaseName());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return Fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    std::fprintf(stdout, "wrote %s: translate the text after each '=' and put the file into the Language folder\n",
                 path.toLocal8Bit().constData());
    return 0;
}
