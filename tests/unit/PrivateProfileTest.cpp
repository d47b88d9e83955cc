#include "platform/PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray Utf16LE(const QString& text) {
    return *EncodeProfile({ProfileEncoding::Utf16LE, text});
}

class PrivateProfileFile : public ::testing::Test {
protected:
    QString Path(const QString& name = "test.ini") const { return dir.filePath(name); }

    void WriteBytes(const QByteArray& bytes, const QString& name = "test.ini") const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray ReadBytes(const QString& name = "test.ini") const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Get(const QString& section, const QString& key, int size = 1000) const {
        return GetPrivateProfileString(section, key, "<default>", size, Path());
    }

    QTemporaryDir dir;
};

} // namespace

TEST(PrivateProfileText, ReadingFollowsTheUsualConventions) {
    QString text = "Orphan=before any section\n"
                   "[Setting]\r\n"
                   "  Language =  English  \r\n"
                   ";Commented=1\n"
                   "just some words\n"
                   "Inline=x;not a comment\n"
                   "Quoted=\"  spaced  \"\n"
                   "Unmatched=\"open\n"
                   "language=second of the key\n"
                   "[ setting ]\n"
                   "Later=in a repeated section\n"
                   "[S]\n"
                   "Nul=ab";
    text += QChar(0);
    text += "cd\n";
    EXPECT_EQ(FindProfileValue(text, u"SETTING", u"LANGUAGE"), QStringLiteral("English"));
    EXPECT_EQ(FindProfileValue(text, u"Setting", u"Inline"), QStringLiteral("x;not a comment"));
    EXPECT_EQ(FindProfileValue(text, u"Setting", u"Quoted"), QStringLiteral("  spaced  "));
    EXPECT_EQ(FindProfileValue(text, u"Setting", u"Unmatched"), QStringLiteral("\"open"));
    EXPECT_EQ(FindProfileValue(text, u"S", u"Nul"), QStringLiteral("ab"));
    for (const char16_t* key : {u"Orphan", u"Commented", u";Commented", u"just some words", u"Later"})
        EXPECT_EQ(FindProfileValue(text, u"Setting", key), std::nullopt);
    EXPECT_EQ(FindProfileValue(text, u"Missing", u"Language"), std::nullopt);
}

TEST(PrivateProfileText, WritesChangeOnlyWhatTheyMustInTheFilesLineStyle) {
    const QString text = "; header\r\n[A]\r\nKey = old\r\nOther=1\r\n\r\n[B]\r\nX=2\r\n";
    EXPECT_EQ(SetProfileValue(text, u"a", u"KEY", u"new"),
              "; header\r\n[A]\r\nKey =new\r\nOther=1\r\n\r\n[B]\r\nX=2\r\n");
    // A new key goes directly under the last line of its section, before the blank line.
    EXPECT_EQ(SetProfileValue(text, u"A", u"Added", u"v"),
              "; header\r\n[A]\r\nKey = old\r\nOther=1\r\nAdded=v\r\n\r\n[B]\r\nX=2\r\n");
    EXPECT_EQ(SetProfileValue(text, u"C", u"Y", u"3"), text + "[C]\r\nY=3\r\n");
    EXPECT_EQ(SetProfileValue("[A]\nX=1", u"A", u"Y", u"2"), "[A]\nX=1\nY=2");
    EXPECT_EQ(SetProfileValue("[A]\nX=1", u"B", u"Y", u"2"), "[A]\nX=1\n[B]\nY=2\n");
    EXPECT_EQ(SetProfileValue("[A]\rX=1\r", u"A", u"X", u"9"), "[A]\rX=9\r");
    EXPECT_EQ(SetProfileValue("", u"Setting", u"Language", u"English"), "[Setting]\r\nLanguage=English\r\n");
}

TEST(PrivateProfileText, WrittenValuesReadBackUnchangedOrAreRefused) {
    for (const QString& value :
         {QString("  padded "), QString("\"quoted\""), QString("'x'"), QString("\"")}) {
        const auto text = SetProfileValue("", u"S", u"K", value);
        ASSERT_TRUE(text);
        EXPECT_EQ(FindProfileValue(*text, u"S", u"K"), value) << value.toStdString();
    }
    // Names and values that would add lines or sections of their own.
    const QString text = "[A]\r\nX=1\r\n";
    EXPECT_EQ(SetProfileValue(text, u"A", u"X", u"1\r\n[Evil]\r\nY=2"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A", u"X=Y", u"1"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A]B", u"X", u"1"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A", u";X", u"1"), std::nullopt);
    EXPECT_EQ(SetProfileValue(text, u"A", u"", u"1"), std::nullopt);
}

TEST(PrivateProfileEncoding, EveryEncodingAndEveryMalformedByteComesBackUnchanged) {
    const QString text = "[Setting]\r\nLanguage=简体中文\r\n";
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.append(char(i));
    const struct {
        QByteArray bytes;
        ProfileEncoding encoding;
    } cases[] = {
        {Utf16LE(text), ProfileEncoding::Utf16LE},
        {*EncodeProfile({ProfileEncoding::Utf16BE, text}), ProfileEncoding::Utf16BE},
        {"\xEF\xBB\xBF" + text.toUtf8(), ProfileEncoding::Utf8Bom},
        {text.toUtf8(), ProfileEncoding::Utf8},
        {"[S]\r\nK=caf\xE9\r\n", ProfileEncoding::Latin1},
        {allBytes, ProfileEncoding::Latin1},
        {"\xEF\xBB\xBF[S]\nK=\xFF\n", ProfileEncoding::Latin1},
        {"K=\xE4\xB8", ProfileEncoding::Latin1},                            // a sequence cut off at the end
        {QByteArray("\xFF\xFE\x00\xD8[\x00", 6), ProfileEncoding::Utf16LE}, // a lone surrogate
    };
    for (const auto& c : cases) {
        const ProfileText decoded = DecodeProfile(c.bytes);
        EXPECT_EQ(decoded.encoding, c.encoding);
        EXPECT_EQ(EncodeProfile(decoded), c.bytes);
    }
    EXPECT_EQ(DecodeProfile(Utf16LE(text)).text, text);
    EXPECT_EQ(DecodeProfile(*EncodeProfile({ProfileEncoding::Utf16BE, text})).text, text);
    EXPECT_EQ(DecodeProfile("K=caf\xE9").text, "K=café");
    // The dangling byte of an odd-sized UTF-16 file is no character.
    EXPECT_EQ(DecodeProfile(Utf16LE("[S]\r\nK=v") + 'A').text, "[S]\r\nK=v");
}

TEST_F(PrivateProfileFile, ReadLimitCountsTheTerminator) {
    WriteBytes(Utf16LE("[S]\r\nK=" + QString(120, u'x') + "\r\n"));
    EXPECT_EQ(Get("S", "K", 100), QString(99, u'x'));
    EXPECT_EQ(Get("S", "K", 1000), QString(120, u'x'));
    EXPECT_EQ(Get("S", "K", 1), "");
    EXPECT_EQ(Get("S", "K", 0), "");
    EXPECT_EQ(Get("S", "Missing", 4), "<de");
}

TEST_F(PrivateProfileFile, NewFilesAreUtf16AndWritesKeepEncodingAndOtherBytes) {
    EXPECT_EQ(Get("Setting", "Language"), "<default>");
    ASSERT_TRUE(WritePrivateProfileString("Setting", "Language", "繁體中文", Path()));
    EXPECT_EQ(ReadBytes(), Utf16LE("[Setting]\r\nLanguage=繁體中文\r\n"));
    EXPECT_EQ(Get("setting", "language"), "繁體中文");

    const QByteArray utf8 = "\xEF\xBB\xBF; comment\n[Setting]\nLanguage=English\n[Other]\nK=\xE4\xB8\xAD\n";
    WriteBytes(utf8);
    ASSERT_TRUE(WritePrivateProfileString("Setting", "Language", "简体中文", Path()));
    EXPECT_EQ(ReadBytes(), QByteArray(utf8).replace("English", QString("简体中文").toUtf8()));
    // A file read byte for byte cannot hold Chinese: its text is stored as UTF-16 instead.
    WriteBytes("[S]\r\nK=caf\xE9\r\n");
    ASSERT_TRUE(WritePrivateProfileString("S", "Name", "中文", Path()));
    EXPECT_EQ(ReadBytes(), Utf16LE("[S]\r\nK=café\r\nName=中文\r\n"));
    // Nor can it hold a value whose bytes would read back as UTF-8 ("Ã©" is C3 A9 byte for byte).
    WriteBytes("[S]\r\nK=caf\xE9\r\n");
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "Ã©", Path()));
    EXPECT_EQ(Get("S", "K"), "Ã©");
    // The replacements were written beside and renamed: nothing else is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

TEST_F(PrivateProfileFile, PaddedNamesWriteTheLineAReadFinds) {
    WriteBytes("[Setting]\r\nLanguage=English\r\n");
    ASSERT_TRUE(WritePrivateProfileString(" Setting ", " Language ", "简体中文", Path()));
    ASSERT_TRUE(WritePrivateProfileString("\tsetting", "Added\t", "1", Path()));
    EXPECT_EQ(ReadBytes(), QByteArray("[Setting]\r\nLanguage=简体中文\r\nAdded=1\r\n"));
    EXPECT_EQ(Get("Setting", "Language"), "简体中文");
    EXPECT_EQ(Get(" Setting ", " Language "), "简体中文");
    EXPECT_FALSE(WritePrivateProfileString("S", " ;Key", "1", Path()));
}

TEST_F(PrivateProfileFile, UnusablePlacesFailWithoutTouchingAnything) {
    WriteBytes("not a folder", "plain");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path("plain/setting.ini")));
    EXPECT_EQ(ReadBytes("plain"), "not a folder");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path("missing/setting.ini")));
    EXPECT_FALSE(QFile::exists(Path("missing")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path("folder.ini")));
    // Opening a FIFO for reading would wait for a writer for ever.
    ASSERT_EQ(mkfifo(QFile::encodeName(Path()).constData(), 0600), 0);
    EXPECT_EQ(Get("S", "K"), "<default>");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", Path()));
    // A refused value leaves the file as it was.
    WriteBytes("[S]\r\nK=old\r\n", "kept.ini");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "x\r\n[T]\r\nY=1", Path("kept.ini")));
    EXPECT_EQ(ReadBytes("kept.ini"), "[S]\r\nK=old\r\n");
}

TEST_F(PrivateProfileFile, ATenMegabyteFileIsReadAndWritten) {
    QString text = "[Big]\r\n";
    text.reserve(5 * 1024 * 1024 + 100);
    while (text.size() < 5 * 1024 * 1024)
        text += "SomeKeyName=a value of some length for the file\r\n";
    const QByteArray bytes = Utf16LE(text + "[Setting]\r\nLanguage=Last\r\n");
    ASSERT_GT(bytes.size(), 10 * 1000 * 1000);
    WriteBytes(bytes);
    EXPECT_EQ(Get("Setting", "Language"), "Last");
    ASSERT_TRUE(WritePrivateProfileString("Setting", "Language", "Next", Path()));
    EXPECT_EQ(ReadBytes().size(), bytes.size());
    EXPECT_EQ(Get("Setting", "Language"), "Next");
}

TEST_F(PrivateProfileFile, AWriteThatWouldOutgrowTheSizeLimitIsRefused) {
    // Read byte for byte, stored as UTF-16 once it holds Chinese: twice the size, past the limit.
    QByteArray bytes = "[S]\r\nK=caf\xE9\r\n[Filler]\r\n";
    bytes += QByteArray(PROFILE_MAX_FILE_SIZE / 2 - bytes.size() + 16, 'x');
    WriteBytes(bytes);
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "中文", Path()));
    EXPECT_EQ(ReadBytes(), bytes);
    EXPECT_EQ(Get("S", "K"), "café");
}
