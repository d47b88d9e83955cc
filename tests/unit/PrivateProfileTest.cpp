#include "platform/PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Utf16LE(const QString& text) {
    return *EncodeProfile({ProfileEncoding::Utf16LE, text});
}

class PrivateProfileFile : public ::testing::Test {
protected:
    QString Path(const QString& name = QStringLiteral("test.ini")) const { return dir.filePath(name); }

    void WriteBytes(const QByteArray& bytes, const QString& name = QStringLiteral("test.ini")) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray ReadBytes(const QString& name = QStringLiteral("test.ini")) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Get(const QString& section, const QString& key, int size = 1000,
                const QString& def = QStringLiteral("<default>")) const {
        return GetPrivateProfileString(section, key, def, size, Path());
    }

    QTemporaryDir dir;
};

} // namespace

TEST(PrivateProfileText, NamesMatchWithoutCaseAndBlanksAroundEqualsAreTrimmed) {
    const QString text = QStringLiteral("[Setting]\r\n"
                                        "  Language =  English  \r\n"
                                        "[ idd_100 ]\r\n"
                                        "IDD_100_Title=About\r\n");
    EXPECT_EQ(FindProfileValue(text, u"setting", u"LANGUAGE"), QStringLiteral("English"));
    EXPECT_EQ(FindProfileValue(text, u"IDD_100", u"idd_100_title"), QStringLiteral("About"));
    EXPECT_EQ(FindProfileValue(text, u"Setting", u"IDD_100_Title"), std::nullopt);
    EXPECT_EQ(FindProfileValue(text, u"Missing", u"Language"), std::nullopt);
}

TEST(PrivateProfileText, CommentsLinesWithoutEqualsAndKeysBeforeAnySectionAreNotEntries) {
    const QString text = QStringLiteral("Orphan=1\n"
                                        "[S]\n"
                                        ";A=commented\n"
                                        "  ; B=commented too\n"
                                        "just some words\n"
                                        "A=real\n"
                                        "C=x;not a comment\n");
    EXPECT_EQ(FindProfileValue(text, u"S", u"A"), QStringLiteral("real"));
    EXPECT_EQ(FindProfileValue(text, u"S", u"B"), std::nullopt);
    EXPECT_EQ(FindProfileValue(text, u"S", u"just some words"), std::nullopt);
    EXPECT_EQ(FindProfileValue(text, u"S", u"Orphan"), std::nullopt);
    EXPECT_EQ(FindProfileValue(text, u"S", u"C"), QStringLiteral("x;not a comment"));
}

TEST(PrivateProfileText, FirstOfRepeatedSectionsAndKeysWins) {
    const QString text =
        QStringLiteral("[S]\r\nK=first\r\nk=second\r\n[T]\r\nX=1\r\n[s]\r\nK=third\r\nOnly=later\r\n");
    EXPECT_EQ(FindProfileValue(text, u"S", u"K"), QStringLiteral("first"));
    // A key that only a later repetition of the section holds is not found.
    EXPECT_EQ(FindProfileValue(text, u"S", u"Only"), std::nullopt);
}

TEST(PrivateProfileText, QuotesAreStrippedAndValuesEndAtNul) {
    QString text = QStringLiteral("[S]\nQ=\"  spaced  \"\nR='x'\nM=\"unmatched\nE=\nN=ab");
    text += QChar(0);
    text += QStringLiteral("cd\n");
    EXPECT_EQ(FindProfileValue(text, u"S", u"Q"), QStringLiteral("  spaced  "));
    EXPECT_EQ(FindProfileValue(text, u"S", u"R"), QStringLiteral("x"));
    EXPECT_EQ(FindProfileValue(text, u"S", u"M"), QStringLiteral("\"unmatched"));
    EXPECT_EQ(FindProfileValue(text, u"S", u"E"), QString());
    EXPECT_EQ(FindProfileValue(text, u"S", u"N"), QStringLiteral("ab"));
}

TEST(PrivateProfileText, WritesChangeOnlyTheLineOfTheKey) {
    const QString text = QStringLiteral("; header\r\n[A]\r\nKey = old\r\nOther=1\r\n\r\n[B]\r\nX=2\r\n");
    EXPECT_EQ(SetProfileValue(text, u"a", u"KEY", u"new"),
              QStringLiteral("; header\r\n[A]\r\nKey =new\r\nOther=1\r\n\r\n[B]\r\nX=2\r\n"));
    // A new key goes directly under the last line of its section, before the blank line.
    EXPECT_EQ(SetProfileValue(text, u"A", u"Added", u"v"),
              QStringLiteral("; header\r\n[A]\r\nKey = old\r\nOther=1\r\nAdded=v\r\n\r\n[B]\r\nX=2\r\n"));
    // A new section is appended at the end.
    EXPECT_EQ(SetProfileValue(text, u"C", u"Y", u"3"),
              QStringLiteral("; header\r\n[A]\r\nKey = old\r\nOther=1\r\n\r\n[B]\r\nX=2\r\n[C]\r\nY=3\r\n"));
}

TEST(PrivateProfileText, WritesFollowTheFilesLineEndsAndMissingLastLineEnd) {
    EXPECT_EQ(SetProfileValue(QStringLiteral("[A]\nX=1"), u"A", u"Y", u"2"), QStringLiteral("[A]\nX=1\nY=2"));
    EXPECT_EQ(SetProfileValue(QStringLiteral("[A]\nX=1"), u"B", u"Y", u"2"),
              QStringLiteral("[A]\nX=1\n[B]\nY=2\n"));
    EXPECT_EQ(SetProfileValue(QString(), u"Setting", u"Language", u"English"),
              QStringLiteral("[Setting]\r\nLanguage=English\r\n"));
    EXPECT_EQ(SetProfileValue(QStringLiteral("[A]\rX=1\r"), u"A", u"X", u"9"), QStringLiteral("[A]\rX=9\r"));
}

TEST(PrivateProfileText, WritesThatWouldBreakTheLineStructureAreRefused) {
    const QString text = QStringLiteral("[A]\r\nX=1\r\n");
    EXPECT_EQ(SetProfileValue(text, u"A", u"X", u"1\r\n[Evil]\r\nY=2"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A", u"X=Y", u"1"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A]B", u"X", u"1"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A", u"", u"1"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A", u";X", u"1"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"", u"X", u"1"), std::nullopt);
}

TEST(PrivateProfileText, ValuesWithOuterBlanksOrQuotesComeBackUnchanged) {
    for (const QString& value : {QStringLiteral("  padded "), QStringLiteral("\"quoted\""),
                                 QStringLiteral("'x'"), QStringLiteral("\""), QStringLiteral("a \"b\" c")}) {
        const auto text = SetProfileValue(QString(), u"S", u"K", value);
        ASSERT_TRUE(text);
        EXPECT_EQ(FindProfileValue(*text, u"S", u"K"), value) << value.toStdString();
    }
}

TEST(PrivateProfileEncoding, EachEncodingIsRecognisedAndStoredBackTheSameWay) {
    const QString text = QStringLiteral("[Setting]\r\nLanguage=简体中文\r\n");
    const QByteArray utf8 = text.toUtf8();
    const struct {
        QByteArray bytes;
        ProfileEncoding encoding;
    } cases[] = {
        {Utf16LE(text), ProfileEncoding::Utf16LE},
        {*EncodeProfile({ProfileEncoding::Utf16BE, text}), ProfileEncoding::Utf16BE},
        {QByteArray("\xEF\xBB\xBF") + utf8, ProfileEncoding::Utf8Bom},
        {utf8, ProfileEncoding::Utf8},
        {QByteArray("[S]\r\nK=caf\xE9\r\n"), ProfileEncoding::Latin1},
    };
    for (const auto& c : cases) {
        const ProfileText decoded = DecodeProfile(c.bytes);
        EXPECT_EQ(decoded.encoding, c.encoding);
        EXPECT_EQ(EncodeProfile(decoded), c.bytes);
    }
    EXPECT_TRUE(Utf16LE(text).startsWith("\xFF\xFE["));
    EXPECT_EQ(DecodeProfile(Utf16LE(text)).text, text);
    EXPECT_EQ(DecodeProfile(*EncodeProfile({ProfileEncoding::Utf16BE, text})).text, text);
    EXPECT_EQ(DecodeProfile(QByteArray("K=caf\xE9")).text, QStringLiteral("K=café"));
}

TEST(PrivateProfileEncoding, MalformedBytesNeitherFailNorChangeOnTheWayBack) {
    // A UTF-16 file with a dangling byte: the half character is no text.
    QByteArray odd = Utf16LE(QStringLiteral("[S]\r\nK=v\r\n"));
    odd.append('\x41');
    EXPECT_EQ(FindProfileValue(DecodeProfile(odd).text, u"S", u"K"), QStringLiteral("v"));
    // A lone surrogate survives a decode and encode.
    const QByteArray lone("\xFF\xFE\x00\xD8[\x00", 6);
    EXPECT_EQ(EncodeProfile(DecodeProfile(lone)), lone);
    // Every byte value, read one character per byte, comes back unchanged.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const ProfileText binary = DecodeProfile(all);
    EXPECT_EQ(binary.encoding, ProfileEncoding::Latin1);
    EXPECT_EQ(EncodeProfile(binary), all);
    // A UTF-8 mark in front of bytes that are no UTF-8 keeps them too.
    const QByteArray marked = QByteArray("\xEF\xBB\xBF[S]\nK=\xFF\n");
    EXPECT_EQ(EncodeProfile(DecodeProfile(marked)), marked);
}

TEST_F(PrivateProfileFile, ReadLimitCountsTheTerminator) {
    WriteBytes(Utf16LE(QStringLiteral("[S]\r\nK=") + QString(120, u'x') + QStringLiteral("\r\n")));
    EXPECT_EQ(Get("S", "K", 100), QString(99, u'x'));
    EXPECT_EQ(Get("S", "K", 1000), QString(120, u'x'));
    EXPECT_EQ(Get("S", "K", 1), QString());
    EXPECT_EQ(Get("S", "K", 0), QString());
    EXPECT_EQ(Get("S", "Missing", 4), QStringLiteral("<de"));
}

TEST_F(PrivateProfileFile, MissingFileGivesTheDefaultAndANewFileIsUtf16WithMark) {
    EXPECT_EQ(Get("Setting", "Language"), QStringLiteral("<default>"));
    ASSERT_TRUE(WritePrivateProfileString("Setting", "Language", QStringLiteral("繁體中文"), Path()));
    EXPECT_EQ(ReadBytes(), Utf16LE(QStringLiteral("[Setting]\r\nLanguage=繁體中文\r\n")));
    EXPECT_EQ(Get("setting", "language"), QStringLiteral("繁體中文"));
}

TEST_F(PrivateProfileFile, AWriteKeepsTheEncodingAndEveryOtherByte) {
    const QByteArray before =
        QByteArray("\xEF\xBB\xBF; comment\n[Setting]\nLanguage=English\n[Other]\nK=\xE4\xB8\xAD\n");
    WriteBytes(before);
    ASSERT_TRUE(WritePrivateProfileString("Setting", "Language", QStringLiteral("简体中文"), Path()));
    QByteArray expected = before;
    expected.replace("English", QStringLiteral("简体中文").toUtf8());
    EXPECT_EQ(ReadBytes(), expected);
    // Only the file itself is left in the folder: the replacement was written beside and renamed.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("test.ini")});
}

TEST_F(PrivateProfileFile, AByteForByteFileTakesNewCharactersAsUtf16) {
    WriteBytes(QByteArray("[S]\r\nK=caf\xE9\r\n"));
    ASSERT_TRUE(WritePrivateProfileString("S", "Name", QStringLiteral("中文"), Path()));
    EXPECT_EQ(ReadBytes(), Utf16LE(QStringLiteral("[S]\r\nK=café\r\nName=中文\r\n")));
}

TEST_F(PrivateProfileFile, UnwritablePlacesFailWithoutTouchingAnything) {
    // The folder of the file is a plain file.
    WriteBytes("not a folder", "plain");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path("plain/setting.ini")));
    EXPECT_EQ(ReadBytes("plain"), QByteArray("not a folder"));
    // The folder does not exist.
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path("missing/setting.ini")));
    EXPECT_FALSE(QFile::exists(Path("missing")));
    // The "file" is a folder.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path("folder.ini")));
    EXPECT_EQ(GetPrivateProfileString("S", "K", "d", 10, Path("folder.ini")), QStringLiteral("d"));
}

TEST_F(PrivateProfileFile, AReadOnlyFileIsNotReplaced) {
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser may write any file";
    const QByteArray before = Utf16LE(QStringLiteral("[S]\r\nK=old\r\n"));
    WriteBytes(before);
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner));
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "new", Path()));
    EXPECT_EQ(ReadBytes(), before);
    EXPECT_EQ(Get("S", "K"), QStringLiteral("old"));
}

TEST_F(PrivateProfileFile, AFifoIsNeitherReadNorWritten) {
    // Opening a FIFO for reading would wait for a writer for ever.
    ASSERT_EQ(mkfifo(QFile::encodeName(Path()).constData(), 0600), 0);
    EXPECT_EQ(Get("S", "K"), QStringLiteral("<default>"));
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path()));
}

TEST_F(PrivateProfileFile, RefusedValuesLeaveTheFileAsItWas) {
    const QByteArray before = Utf16LE(QStringLiteral("[S]\r\nK=old\r\n"));
    WriteBytes(before);
    EXPECT_FALSE(WritePrivateProfileString("S", "K", QStringLiteral("x\r\n[T]\r\nY=1"), Path()));
    EXPECT_EQ(ReadBytes(), before);
}

TEST_F(PrivateProfileFile, ATenMegabyteFileIsReadAndWritten) {
    QString text = QStringLiteral("[Big]\r\n");
    const QString line = QStringLiteral("SomeKeyName=a value of some length for the file\r\n");
    text.reserve(5 * 1024 * 1024 + 100);
    while (text.size() < 5 * 1024 * 1024)
        text += line;
    text += QStringLiteral("[Setting]\r\nLanguage=Last\r\n");
    const QByteArray bytes = Utf16LE(text);
    ASSERT_GT(bytes.size(), 10 * 1000 * 1000);
    WriteBytes(bytes);
    EXPECT_EQ(Get("Setting", "Language"), QStringLiteral("Last"));
    EXPECT_EQ(Get("Big", "SomeKeyName"), QStringLiteral("a value of some length for the file"));
    ASSERT_TRUE(WritePrivateProfileString("Setting", "Language", QStringLiteral("Next"), Path()));
    EXPECT_EQ(ReadBytes().size(), bytes.size());
    EXPECT_EQ(Get("Setting", "Language"), QStringLiteral("Next"));
}
