#include "platform/PrivateProfile.h"

#include "platform/System.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>


namespace {

// ---- lines -------------------------------------------------------------------------------------

// One line of the text: [begin, end) is its content, next is where the following line starts
// (after a CR LF, LF or lone CR).
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

Line LineAt(QStringView text, qsizetype pos) {
    Line line{pos, pos, pos};
    const qsizetype size = text.size();
    while (line.end < size && text[line.end] != u'\r' && text[line.end] != u'\n')
        ++line.end;
    line.next = line.end;
    if (line.next < size && text[line.next] == u'\r')
        ++line.next;
    if (line.next < size && text[line.next] == u'\n')
        ++line.next;
    return line;
}

enum class LineKind { Blank, Section, Entry, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QStringView name;      // section or key name, trimmed
    QStringView value;     // value, trimmed (entries only)
    qsizetype equals = -1; // position of "=" in the text (entries only)
};

ParsedLine ParseLine(QStringView text, const Line& line) {
    const QStringView content = text.sliced(line.begin, line.end - line.begin);
    const QStringView trimmed = content.trimmed();
    ParsedLine parsed;
    if (trimmed.isEmpty()) {
        parsed.kind = LineKind::Blank;
    } else if (trimmed.front() == u'[') {
        parsed.kind = LineKind::Section;
        const QStringView inside = trimmed.sliced(1);
        const qsizetype close = inside.indexOf(u']');
        parsed.name = (close < 0 ? inside : inside.first(close)).trimmed();
    } else if (trimmed.front() != u';') {
        const qsizetype equals = content.indexOf(u'=');
        if (equals >= 0) {
            parsed.kind = LineKind::Entry;
            parsed.name = content.first(equals).trimmed();
            parsed.value = content.sliced(equals + 1).trimmed();
            parsed.equals = line.begin + equals;
        }
    }
    return parsed;
}

bool SameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

QStringView Unquoted(QStringView value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

// A value that would lose blanks or quotes when read back is written inside quotes.
QString StoredValue(QStringView value) {
    const bool needsQuotes = value.trimmed().size() != value.size() || Unquoted(value).size() != value.size();
    return needsQuotes ? u'"' + value.toString() + u'"' : value.toString();
}

// The first line end of the file sets the style of the lines a write adds.
QString LineEndOf(QStringView text) {
    const Line first = LineAt(text, 0);
    if (first.next == first.end)
        return QStringLiteral("\r\n");
    return text.sliced(first.end, first.next - first.end).toString();
}

bool HasLineBreakOrNul(QStringView s) {
    return s.contains(u'\r') || s.contains(u'\n') || s.contains(QChar(0));
}

// ---- encodings ---------------------------------------------------------------------------------

QString FromUtf16(const QByteArray& bytes, qsizetype offset, bool bigEndian) {
    const qsizetype count = (bytes.size() - offset) / 2; // a dangling odd byte is no character
    QString text(count, Qt::Uninitialized);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData()) + offset;
    for (qsizetype i = 0; i < count; ++i) {
        const unsigned lo = data[2 * i + (bigEndian ? 1 : 0)];
        const unsigned hi = data[2 * i + (bigEndian ? 0 : 1)];
        text[i] = QChar(char16_t(lo | (hi << 8)));
    }
    return text;
}

QByteArray ToUtf16(const QString& text, bool bigEndian) {
    QByteArray bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes.append(bigEndian ? "\xFE\xFF" : "\xFF\xFE", 2);
    for (const QChar c : text) {
        const char lo = char(c.unicode() & 0xFF);
        const char hi = char(c.unicode() >> 8);
        bytes.append(bigEndian ? hi : lo);
        bytes.append(bigEndian ? lo : hi);
    }
    return bytes;
}

std::optional<QString> StrictUtf8(QByteArrayView bytes) {
    // Keep a leading U+FEFF in the text so that it is written back as well; stateless, so that a
    // sequence cut off at the end of the file is an error rather than silently held back.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// ---- files -------------------------------------------------------------------------------------

bool IsRegularFile(const QString& strFile) {
    // A FIFO or device node would block or never end; only plain files are profiles.
    return IsPlainFile(strFile);
}

std::optional<QByteArray> ReadFileBytes(const QString& strFile) {
    if (!IsRegularFile(strFile))
        return std::nullopt;
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Read in pieces: asking for the size limit at once would allocate (and clear) the whole limit on
    // every read of a small profile.
    constexpr qint64 kPiece = 64 * 1024;
    QByteArray bytes;
    bytes.reserve(qsizetype(std::min<qint64>(file.size(), PROFILE_MAX_FILE_SIZE) + 1));
    for (QByteArray piece = file.read(kPiece); !piece.isEmpty(); piece = file.read(kPiece)) {
        bytes += piece;
        if (bytes.size() > PROFILE_MAX_FILE_SIZE)
            return std::nullopt;
    }
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool ReplaceFile(const QString& strFile, const QByteArray& bytes) {
    QSaveFile file(strFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

ProfileText DecodeProfile(const QByteArray& bytes) {
    const auto starts = [&](const char* bom) { return bytes.startsWith(bom); };
    if (starts("\xFF\xFE"))
        return {ProfileEncoding::Utf16LE, FromUtf16(bytes, 2, false)};
    if (starts("\xFE\xFF"))
        return {ProfileEncoding::Utf16BE, FromUtf16(bytes, 2, true)};
    if (starts("\xEF\xBB\xBF")) {
        if (auto text = StrictUtf8(QByteArrayView(bytes).sliced(3)))
            return {ProfileEncoding::Utf8Bom, *text};
    } else if (auto text = StrictUtf8(bytes)) {
        return {ProfileEncoding::Utf8, *text};
    }
    return {ProfileEncoding::Latin1, QString::fromLatin1(bytes)};
}

std::optional<QByteArray> EncodeProfile(const ProfileText& profile) {
    switch (profile.encoding) {
    case ProfileEncoding::Utf16LE:
        return ToUtf16(profile.text, false);
    case ProfileEncoding::Utf16BE:
        return ToUtf16(profile.text, true);
    case ProfileEncoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + profile.text.toUtf8();
    case ProfileEncoding::Utf8:
        return profile.text.toUtf8();
    case ProfileEncoding::Latin1:
        for (const QChar c : profile.text)
            if (c.unicode() > 0xFF)
                return std::nullopt;
        return profile.text.toLatin1();
    }
    return std::nullopt;
}

std::optional<QString> FindProfileValue(QStringView text, QStringView section, QStringView key) {
    // Names in the file are trimmed when parsed, so the names asked for are trimmed as well.
    section = section.trimmed();
    key = key.trimmed();
    if (key.isEmpty())
        return std::nullopt;
    bool inSection = false;
    for (qsizetype pos = 0; pos < text.size();) {
        const Line line = LineAt(text, pos);
        pos = line.next;
        const ParsedLine parsed = ParseLine(text, line);
        if (parsed.kind == LineKind::Section) {
            if (inSection)
                return std::nullopt; // only the first section of that name counts
            inSection = SameName(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Entry && SameName(parsed.name, key)) {
            QStringView value = Unquoted(parsed.value);
            // The value ends at a NUL character, like the terminated string it stands for.
            const qsizetype nul = value.indexOf(QChar(0));
            return (nul < 0 ? value : value.first(nul)).toString();
        }
    }
    return std::nullopt;
}

std::optional<QString> SetProfileValue(const QString& text, QStringView section, QStringView key,
                                       QStringView value) {
    // Matched against the trimmed names of the file, as a read matches them; padded names
    // would otherwise miss the existing line and add a second one that no read finds.
    section = section.trimmed();
    key = key.trimmed();
    const bool badSection = section.isEmpty() || section.contains(u']') || HasLineBreakOrNul(section);
    const bool badKey = key.isEmpty() || key.contains(u'=') || key.front() == u'[' || key.front() == u';' ||
                        HasLineBreakOrNul(key);
    if (badSection || badKey || HasLineBreakOrNul(value))
        return std::nullopt;

    const QString eol = LineEndOf(text);
    const QString stored = StoredValue(value);
    bool inSection = false;
    qsizetype insertAt = -1; // after the last non-blank line of the section
    bool insertNeedsEol = false;
    for (qsizetype pos = 0; pos < text.size();) {
        const Line line = LineAt(text, pos);
        pos = line.next;
        const ParsedLine parsed = ParseLine(text, line);
        if (parsed.kind == LineKind::Section) {
            if (inSection)
                break;
            inSection = SameName(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Entry && SameName(parsed.name, key)) {
            QString result = text;
            result.replace(parsed.equals + 1, line.end - parsed.equals - 1, stored);
            return result;
        }
        if (inSection && parsed.kind != LineKind::Blank) {
            insertAt = line.next;
            insertNeedsEol = line.next == line.end;
        }
    }

    const QString entry = key.toString() + u'=' + stored;
    QString result = text;
    if (insertAt >= 0) {
        result.insert(insertAt, insertNeedsEol ? eol + entry : entry + eol);
        return result;
    }
    if (!result.isEmpty() && !result.endsWith(u'\n') && !result.endsWith(u'\r'))
        result += eol;
    result += u'[' + section.toString() + u']' + eol + entry + eol;
    return result;
}

QString GetPrivateProfileString(const QString& strSection, const QString& strKey, const QString& strDefault,
                                int nSize, const QString& strFile) {
    if (nSize <= 0)
        return QString();
    QString value = strDefault;
    if (const auto bytes = ReadFileBytes(strFile)) {
        const ProfileText profile = DecodeProfile(*bytes);
        if (auto found = FindProfileValue(profile.text, strSection, strKey))
            value = *found;
    }
    return value.left(nSize - 1);
}

bool WritePrivateProfileString(const QString& strSection, const QString& strKey, const QString& strValue,
                               const QString& strFile) {
    ProfileText profile; // a new file: UTF-16LE with a byte-order mark
    const QFileInfo info(strFile);
    if (info.exists() || info.isSymLink()) {
        if (!info.isWritable())
            return false;
        const auto bytes = ReadFileBytes(strFile);
        if (!bytes)
            return false;
        profile = DecodeProfile(*bytes);
    }
    const auto text = SetProfileValue(profile.text, strSection, strKey, strValue);
    if (!text)
        return false;
    profile.text = *text;
    auto bytes = EncodeProfile(profile);
    if (!bytes || DecodeProfile(*bytes).text != profile.text) {
        // The file's encoding cannot hold the new characters (Chinese in a file read byte for byte,
        // a lone surrogate in UTF-8), or its bytes would read back as another encoding (a value
        // that forms UTF-8 in a file read byte for byte): store its text as UTF-16.
        profile.encoding = ProfileEncoding::Utf16LE;
        bytes = EncodeProfile(profile);
    }
    // A file grown past the limit would no longer be read at all, every other value with it.
    if (bytes->size() > PROFILE_MAX_FILE_SIZE)
        return false;
    return ReplaceFile(strFile, *bytes);
}
