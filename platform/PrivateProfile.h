#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Private-profile (INI) files: "[section]" lines, "key=value" lines under them.
//
// Section and key names match without regard to case; blanks around names and values are
// trimmed, a value wrapped in a matching pair of quotes loses them, lines starting with ";" are
// comments, lines without "=" are ignored and the first of repeated sections or keys wins.
// Files are read as UTF-16LE or UTF-16BE with a byte-order mark, or UTF-8 with or without one;
// bytes that are no valid UTF-8 are read one character per byte, so they come back unchanged.
// A write keeps every other byte of the file, keeps its encoding and replaces the file
// atomically; new files are UTF-16LE with a byte-order mark, so every name round-trips.

// Files larger than this are treated as unreadable: reads give the default, writes fail.
// (The fuzz target builds with a small limit so that its inputs reach both sides of it.)
#ifndef RFID_PROFILE_MAX_FILE_SIZE
#define RFID_PROFILE_MAX_FILE_SIZE (64 * 1024 * 1024)
#endif
constexpr qint64 PROFILE_MAX_FILE_SIZE = RFID_PROFILE_MAX_FILE_SIZE;

// The value of key in section of strFile, or strDefault when the file, the section or the key is
// missing; cut to nSize - 1 characters, since nSize counts the terminator (nSize <= 0 gives "").
QString GetPrivateProfileString(const QString& strSection, const QString& strKey, const QString& strDefault,
                                int nSize, const QString& strFile);

// Sets key in section of strFile to strValue, creating the file, the section or the key as
// needed. False, with the file untouched, when the file or its folder is not writable, the file
// is not a readable regular file, or a name or the value would break the file's line structure.
bool WritePrivateProfileString(const QString& strSection, const QString& strKey, const QString& strValue,
                               const QString& strFile);

// The file text and how it is stored; the parts below work on decoded text and are used
// directly by the tests.
enum class ProfileEncoding { Utf16LE, Utf16BE, Utf8Bom, Utf8, Latin1 };

struct ProfileText {
    ProfileEncoding encoding = ProfileEncoding::Utf16LE;
    QString text;
};

ProfileText DecodeProfile(const QByteArray& bytes);
// The bytes of text in its encoding; nullopt when a character cannot be stored in it.
std::optional<QByteArray> EncodeProfile(const ProfileText& profile);

// The raw value of key in the first section named section; nullopt when there is none.
std::optional<QString> FindProfileValue(QStringView text, QStringView section, QStringView key);
// text with key in section set to value; nullopt when a name or the value cannot be stored.
std::optional<QString> SetProfileValue(const QString& text, QStringView section, QStringView key,
                                       QStringView value);
