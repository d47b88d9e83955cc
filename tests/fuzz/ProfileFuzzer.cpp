// Feeds arbitrary profile files, section and key names and values to the profile reader and writer,
// in memory and through a scratch file, and checks what must always hold:
// - decoding and encoding give the bytes back;
// - a write is refused exactly when a name or the value cannot be stored, and a refused write or a
//   file over the size limit leaves the file's bytes as they were;
// - a written value reads back unchanged (cut at the caller's size), from the text and from the file;
// - a write changes one line or adds lines, and leaves the value of every other key as it was.
//
// An input is a profile file followed by a few bytes taken from its end that choose the names, the
// value, the read size and whether the file exists, so plain profile files are good seeds.
#include "platform/PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The names and value of the current input, shown when a property breaks.
QString g_case;

// Names the broken property before stopping, so a crash report says which one failed.
void CheckAt(bool condition, int line) {
    if (!condition) {
        std::fprintf(stderr, "property at line %d does not hold for %s\n", line, qPrintable(g_case));
        std::abort();
    }
}
#define Check(condition) CheckAt(condition, __LINE__)

// Takes the choices from the end of the input; what is left at the front is the file.
class InputTail {
public:
    InputTail(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint8_t Byte() { return m_size > 0 ? m_data[--m_size] : 0; }

    QByteArray Bytes(size_t count) {
        count = std::min(count, m_size);
        m_size -= count;
        return QByteArray(reinterpret_cast<const char*>(m_data + m_size), qsizetype(count));
    }

    QByteArray Rest() const { return QByteArray(reinterpret_cast<const char*>(m_data), qsizetype(m_size)); }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// The raw names of the file: what stands between "[" and "]" of section lines and before "=" of
// other lines, untrimmed, so that names with blanks around them come along.
struct FileNames {
    QStringList sections;
    QStringList keys;
};

FileNames NamesIn(const QString& text) {
    FileNames names;
    qsizetype begin = 0;
    while (begin <= text.size()) {
        qsizetype end = begin;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = QStringView(text).sliced(begin, end - begin);
        begin = end + 1;
        const qsizetype open = line.indexOf(u'[');
        const qsizetype equals = line.indexOf(u'=');
        if (open >= 0 && line.first(open).trimmed().isEmpty()) {
            const qsizetype close = line.indexOf(u']', open);
            names.sections += line.sliced(open + 1, (close < 0 ? line.size() : close) - open - 1).toString();
        } else if (equals >= 0) {
            names.keys += line.first(equals).toString();
        }
    }
    return names;
}

const QString kWellKnown[] = {"Setting", "Language", "IDD_100", " setting ", "LANGUAGE\t", "", " ", "[x]", ";c"};

// A string made from input bytes: UTF-8, Latin-1 or raw UTF-16 (which may hold lone surrogates).
QString FuzzedString(InputTail& tail) {
    const uint8_t form = tail.Byte();
    const QByteArray bytes = tail.Bytes(tail.Byte() % 24);
    switch (form % 3) {
    case 0:
        return QString::fromUtf8(bytes);
    case 1:
        return QString::fromLatin1(bytes);
    default:
        return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
    }
}

// How one name is chosen: from the file, a well-known one or a fuzzed one, with its case and
// padding changed at will.
struct NameChoice {
    uint8_t how = 0;
    uint8_t index = 0;
    QString fuzzed;

    static NameChoice From(InputTail& tail) {
        NameChoice choice{tail.Byte(), tail.Byte(), QString()};
        if (choice.how % 4 == 3)
            choice.fuzzed = FuzzedString(tail);
        return choice;
    }

    QString Name(const QStringList& fromFile) const {
        QString name = fuzzed;
        if (how % 4 < 2)
            name = fromFile.isEmpty() ? QString() : fromFile[index % fromFile.size()];
        else if (how % 4 == 2)
            name = kWellKnown[index % std::size(kWellKnown)];
        if (how & 0x10)
            name = name.toUpper();
        if (how & 0x20)
            name = u' ' + name;
        if (how & 0x40)
            name += u'\t';
        return name;
    }
};

QString Escaped(const QString& text) {
    QString escaped = "\"";
    for (const QChar c : text)
        escaped += c.unicode() >= 0x20 && c.unicode() < 0x7F ? QString(c) : QString::asprintf("\\u%04X", c.unicode());
    return escaped + '"';
}

bool HasLineBreakOrNul(QStringView s) {
    return s.contains(u'\r') || s.contains(u'\n') || s.contains(QChar(0));
}

// What the writer must refuse: names it could not find again and values that would add lines.
bool MustBeRefused(const QString& section, const QString& key, const QString& value) {
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    return s.isEmpty() || s.contains(u']') || HasLineBreakOrNul(s) || k.isEmpty() || k.contains(u'=') ||
           k.front() == u'[' || k.front() == u';' || HasLineBreakOrNul(k) || HasLineBreakOrNul(value);
}

bool SameName(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Only the written line changes: the text between the common start and the common end of the
// old and the new text lies within one line of the old text (empty when lines were added).
void CheckOnlyOneLineChanged(const QString& before, const QString& after) {
    qsizetype start = 0;
    const qsizetype shorter = std::min(before.size(), after.size());
    while (start < shorter && before[start] == after[start])
        ++start;
    qsizetype end = 0;
    while (end < shorter - start && before[before.size() - 1 - end] == after[after.size() - 1 - end])
        ++end;
    const QStringView removed = QStringView(before).sliced(start, before.size() - end - start);
    Check(!removed.contains(u'\r') && !removed.contains(u'\n'));
}

void CheckOtherValuesKept(const QString& before, const QString& after, const FileNames& names,
                          const QString& section, const QString& key) {
    for (const QString& s : names.sections.mid(0, 8)) {
        for (const QString& k : names.keys.mid(0, 8)) {
            if (!(SameName(s, section) && SameName(k, key)))
                Check(FindProfileValue(before, s, k) == FindProfileValue(after, s, k));
        }
    }
}

// In memory where there is a memory file system: every write syncs the file to its disk.
QString ScratchFile() {
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? "/dev/shm/profile_fuzzer-XXXXXX"
                                                       : QDir::tempPath() + "/profile_fuzzer-XXXXXX");
    return dir.filePath("setting.ini");
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PutFile(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    QFile file(path);
    Check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

bool IsOddUtf16(const QByteArray& bytes) {
    return (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) && bytes.size() % 2 != 0;
}

// A write may fail only when the file would be over the limit both in its own encoding (where that
// holds the text) and as UTF-16.
bool WouldGrowTooBig(ProfileEncoding encoding, const QString& text) {
    const std::optional<QByteArray> own = EncodeProfile({encoding, text});
    const bool ownFits = own && DecodeProfile(*own).text == text && own->size() <= PROFILE_MAX_FILE_SIZE;
    return !ownFits && 2 + 2 * text.size() > PROFILE_MAX_FILE_SIZE;
}

// The file functions on the scratch file: the same results as the text functions, the size limit
// and the cut at the caller's size, and nothing left beside the file.
void CheckFileFunctions(const QByteArray& bytes, bool fileExists, int readSize, const QString& section,
                        const QString& key, const QString& value) {
    const QString path = ScratchFile();
    if (fileExists)
        PutFile(path, bytes);
    else
        QFile::remove(path);
    const bool tooBig = fileExists && bytes.size() > PROFILE_MAX_FILE_SIZE;
    const QString before = fileExists ? DecodeProfile(bytes).text : QString();

    const std::optional<QString> found = tooBig ? std::nullopt : FindProfileValue(before, section, key);
    const QString fallback = QStringLiteral("<none>");
    Check(GetPrivateProfileString(section, key, fallback, readSize, path) ==
          (readSize <= 0 ? QString() : found.value_or(fallback).left(readSize - 1)));

    const std::optional<QString> expected = tooBig ? std::nullopt : SetProfileValue(before, section, key, value);
    const bool written = WritePrivateProfileString(section, key, value, path);
    Check(written || !expected || WouldGrowTooBig(DecodeProfile(bytes).encoding, *expected));
    Check(!written || expected);
    if (!written) {
        Check(fileExists ? FileBytes(path) == bytes : !QFile::exists(path));
        return;
    }
    const QByteArray newBytes = FileBytes(path);
    Check(newBytes.size() <= PROFILE_MAX_FILE_SIZE);
    const ProfileText after = DecodeProfile(newBytes);
    Check(after.text == *expected);
    if (!fileExists)
        Check(after.encoding == ProfileEncoding::Utf16LE);
    Check(GetPrivateProfileString(section, key, fallback, readSize, path) ==
          (readSize <= 0 ? QString() : value.left(readSize - 1)));
    Check(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System) == QStringList{"setting.ini"});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputTail tail(data, size);
    const uint8_t flags = tail.Byte();
    const int readSize = int(tail.Byte()) - 8;
    const NameChoice sectionChoice = NameChoice::From(tail);
    const NameChoice keyChoice = NameChoice::From(tail);
    const QString value = FuzzedString(tail);
    const QByteArray bytes = tail.Rest();

    const ProfileText profile = DecodeProfile(bytes);
    if (!IsOddUtf16(bytes))
        Check(EncodeProfile(profile) == bytes);

    const FileNames names = NamesIn(profile.text);
    const QString section = sectionChoice.Name(names.sections);
    const QString key = keyChoice.Name(names.keys);
    g_case = Escaped(section) + " / " + Escaped(key) + " = " + Escaped(value) + " / read size " +
             QString::number(readSize) + " / encoding " + QString::number(int(profile.encoding));
    const std::optional<QString> written = SetProfileValue(profile.text, section, key, value);
    Check(written.has_value() == !MustBeRefused(section, key, value));
    if (written) {
        Check(FindProfileValue(*written, section, key) == value);
        CheckOnlyOneLineChanged(profile.text, *written);
        CheckOtherValuesKept(profile.text, *written, names, section, key);
    }
    CheckFileFunctions(bytes, !(flags & 1), readSize, section, key, value);
    return 0;
}
