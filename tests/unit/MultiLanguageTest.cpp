#include "language/MultiLanguage.h"
#include "platform/PrivateProfile.h"
#include "tests/support/TestPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QStringList BUILT_IN_FILES = {"1.English.ini", "2.Simplified Chinese.ini", "3.Traditional Chinese.ini"};
const QStringList BUILT_IN_NAMES = {"English", "简体中文", "繁體中文"};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Utf16LE(const QString& text) {
    return *EncodeProfile({ProfileEncoding::Utf16LE, text});
}

class Catalogue : public ::testing::Test {
protected:
    QString AppPath(const QString& name) const { return app.filePath(name); }
    QString LanguagePath(const QString& name) const { return app.filePath("Language/" + name); }

    void WriteFile(const QString& path, const QByteArray& bytes) const {
        QFileInfo(path).dir().mkpath(".");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    void WriteLanguage(const QString& fileName, const QString& text) const {
        WriteFile(LanguagePath(fileName), Utf16LE(text));
    }
    void WriteLanguageNamed(const QString& fileName, const QString& language) const {
        WriteLanguage(fileName, "[Setting]\r\nLanguage=" + language + "\r\n");
    }

    QString StoredLanguage() const {
        return GetPrivateProfileString("Setting", "Language", "<none>", 1000, AppPath("setting.ini"));
    }

    static QStringList List(const CMultiLanguage& catalogue) {
        QStringList list{"stale entry"};
        catalogue.GetLanguageList(list);
        return list;
    }

    // Every file below the application folder with a digest of its bytes.
    QMap<QString, QByteArray> Snapshot() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(app.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files.insert(path, QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha1));
        }
        return files;
    }

    QTemporaryDir app;
};

} // namespace

TEST_F(Catalogue, FirstStartInAnEmptyFolderWritesTheSettingAndTheBuiltInFiles) {
    CMultiLanguage catalogue(app.path());
    EXPECT_EQ(catalogue.GetSettingFile(), AppPath("setting.ini"));
    EXPECT_EQ(ReadAll(AppPath("setting.ini")), Utf16LE("[Setting]\r\nLanguage=English\r\n"));
    EXPECT_EQ(catalogue.GetLanguage(), "English");
    EXPECT_TRUE(catalogue.GetLanguageFile().isEmpty());
    EXPECT_TRUE(List(catalogue).isEmpty());

    catalogue.ProvideBuiltInLanguages();
    EXPECT_EQ(QDir(AppPath("Language")).entryList(QDir::Files, QDir::Name), BUILT_IN_FILES);
    for (int i = 0; i < 3; ++i) {
        const QByteArray resource = ReadAll(QString(":/LANGUAGE/%1").arg(141 + i));
        ASSERT_FALSE(resource.isEmpty());
        EXPECT_TRUE(ReadAll(LanguagePath(BUILT_IN_FILES[i])) == resource) << BUILT_IN_FILES[i].toStdString();
    }
    EXPECT_EQ(List(catalogue), BUILT_IN_NAMES);
    EXPECT_EQ(catalogue.GetLanguageFile(), LanguagePath("1.English.ini"));
    EXPECT_EQ(StoredLanguage(), "English");
}

TEST(BuiltInLanguages, EmbeddedTextsAreTheCommittedFilesWithTheirLayout) {
    const qsizetype sizes[] = {1496, 1174, 1174};
    const QStringList headers = {"[Setting]", "[IDD_100]",  "[IDD_136]", "[IDD_102]",
                                 "[IDD_138]", "[MENU_137]", "",          "[SPECIAL_STRING]"};
    const QString keys =
        "Language IDD_100_Title IDD_100_1 IDD_136_1000 IDD_136_1001 IDD_102_Title IDD_138_1001 "
        "IDD_138_1011 IDD_138_1012 IDD_138_1013 IDD_138_1014 MENU_137_0 MENU_137_32771 "
        "MENU_137_32773 MENU_137_32772 MENU_137_1 MENU_137_2 MENU_137_32774 IDS_IDLEMESSAGE "
        "IDS_FOLDER0 IDS_FOLDER1 IDS_FOLDER2 IDS_FOLDER3 IDS_SMALLICON IDS_ICON IDS_ALLNUMBER "
        "IDS_ONLYCARDNO";
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(BUILT_IN_FILES[i].toStdString());
        const QByteArray bytes = ReadAll(QString(":/LANGUAGE/%1").arg(141 + i));
        EXPECT_TRUE(bytes == ReadAll(TestSourcePath("resources/languages/" + BUILT_IN_FILES[i])));
        EXPECT_EQ(bytes.size(), sizes[i]);
        ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
        const QString text = DecodeProfile(bytes).text;
        // Every line, the last one too, ends with CR LF; there is no lone CR or LF.
        ASSERT_TRUE(text.endsWith("\r\n"));
        EXPECT_EQ(text.count("\r\n"), text.count('\n'));
        EXPECT_EQ(text.count("\r\n"), text.count('\r'));
        QStringList seenHeaders, seenKeys;
        for (const QString& line : text.chopped(2).split("\r\n"))
            (line.isEmpty() || line.startsWith('[') ? seenHeaders : seenKeys).append(line.section('=', 0, 0));
        EXPECT_EQ(seenHeaders, headers);
        EXPECT_EQ(seenKeys.join(' '), keys);
        EXPECT_EQ(FindProfileValue(text, u"Setting", u"Language"), BUILT_IN_NAMES[i]);
    }
    const QString english = DecodeProfile(ReadAll(":/LANGUAGE/141")).text;
    EXPECT_EQ(FindProfileValue(english, u"IDD_138", u"IDD_138_1013"), QStringLiteral("No change"));
}

TEST_F(Catalogue, AnAddedLanguageIsListedAfterTheBuiltInOnesAndCanBeSelected) {
    CMultiLanguage(app.path()).ProvideBuiltInLanguages();
    WriteLanguageNamed("Deutsch.ini", "Deutsch");

    CMultiLanguage catalogue(app.path());
    EXPECT_EQ(List(catalogue), BUILT_IN_NAMES + QStringList{"Deutsch"});
    EXPECT_TRUE(catalogue.SetLanguage("Deutsch"));
    EXPECT_EQ(catalogue.GetLanguageFile(), LanguagePath("Deutsch.ini"));
    EXPECT_EQ(StoredLanguage(), "Deutsch");

    // The next start begins with it; a deleted built-in file is not restored while Deutsch remains.
    QFile::remove(LanguagePath("1.English.ini"));
    CMultiLanguage next(app.path());
    EXPECT_EQ(next.GetLanguageFile(), LanguagePath("Deutsch.ini"));
    next.ProvideBuiltInLanguages();
    EXPECT_FALSE(QFile::exists(LanguagePath("1.English.ini")));
    EXPECT_EQ(next.GetLanguage(), "Deutsch");
}

TEST_F(Catalogue, OnlyNamedFilesAreListedAndNamesMatchExactlyInListingOrder) {
    WriteLanguage("0.ini", "[Setting]\r\nLanguage=\r\n");
    WriteLanguage("1.ini", "[IDD_100]\r\nLanguage=Hidden\r\n");
    WriteLanguageNamed("b.ini", "Klingon");
    WriteLanguageNamed("A.ini", "Klingon");
    WriteLanguageNamed("c.ini", "English");
    const QString longName = QString(60, u'L') + QString(60, u'語');
    WriteLanguageNamed("long.ini", longName);
    WriteFile(AppPath("setting.ini"), Utf16LE("[Setting]\r\nLanguage=\r\n"));

    CMultiLanguage catalogue(app.path());
    EXPECT_EQ(List(catalogue), (QStringList{"Klingon", "Klingon", "English", longName.left(99)}));
    // The stored empty name matches no file and is kept as it is.
    EXPECT_EQ(catalogue.GetLanguage(), "");
    EXPECT_EQ(StoredLanguage(), "");
    EXPECT_FALSE(catalogue.SetLanguage("Hidden"));
    EXPECT_TRUE(catalogue.GetLanguageFile().isEmpty());

    EXPECT_TRUE(catalogue.SetLanguage("Klingon"));
    EXPECT_EQ(catalogue.GetLanguageFile(), LanguagePath("A.ini"));
    // Another case is another name: no file, the previous one stays, the name is stored anyway.
    EXPECT_FALSE(catalogue.SetLanguage("english"));
    EXPECT_EQ(catalogue.GetLanguageFile(), LanguagePath("A.ini"));
    EXPECT_EQ(StoredLanguage(), "english");
    EXPECT_FALSE(catalogue.SetLanguage(longName.left(99)));
    EXPECT_TRUE(catalogue.SetLanguage(longName));
    // Without the key the default applies.
    WriteFile(AppPath("setting.ini"), "[Setting]\r\n");
    EXPECT_TRUE(catalogue.SetLanguage(""));
    EXPECT_EQ(catalogue.GetLanguageFile(), LanguagePath("c.ini"));
}

TEST_F(Catalogue, ChineseNamesSurviveTheSettingFileInEveryEncoding) {
    WriteLanguageNamed("zh.ini", "简体中文");
    WriteLanguageNamed("tw.ini", "繁體中文");
    EXPECT_TRUE(CMultiLanguage(app.path()).SetLanguage("繁體中文"));
    CMultiLanguage reopened(app.path());
    EXPECT_EQ(reopened.GetLanguage(), "繁體中文");
    EXPECT_EQ(reopened.GetLanguageFile(), LanguagePath("tw.ini"));

    // A hand-written UTF-8 setting file stays UTF-8 and still carries the name.
    WriteFile(AppPath("setting.ini"), "[Setting]\nLanguage=English\n");
    EXPECT_TRUE(reopened.SetLanguage("简体中文"));
    EXPECT_EQ(ReadAll(AppPath("setting.ini")), QString("[Setting]\nLanguage=简体中文\n").toUtf8());
    EXPECT_EQ(CMultiLanguage(app.path()).GetLanguageFile(), LanguagePath("zh.ini"));
}

TEST_F(Catalogue, MalformedLanguageFilesNeitherBreakTheListNorChangeAnyFile) {
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 7919) & 0xFF));
    WriteFile(LanguagePath("binary.ini"), binary);
    WriteFile(LanguagePath("odd.ini"), Utf16LE("[Setting]\r\nLanguage=Odd\r\n") + '\x01');
    WriteLanguage("nul.ini", "[Setting]\r\nLanguage=Nul" + QString(QChar(0)) + "tail\r\n");
    WriteLanguage(
        "dup.ini",
        "[Setting]\r\nwords only\r\nLanguage=Dup\r\nLanguage=Second\r\n[Setting]\r\nLanguage=3\r\n");
    QString big = "[Setting]\r\n";
    while (big.size() < 5 * 1024 * 1024)
        big += "Filler=0123456789012345678901234567890123456789\r\n";
    WriteLanguage("big.ini", big + "Language=Big\r\n");
    ASSERT_TRUE(QDir(app.path()).mkpath("Language/folder.ini"));
    WriteFile(AppPath("setting.ini"), "[Setting]\r\nLanguage=Dup\r\n");

    const auto before = Snapshot();
    CMultiLanguage catalogue(app.path());
    EXPECT_EQ(List(catalogue), (QStringList{"Big", "Dup", "Nul", "Odd"}));
    EXPECT_EQ(catalogue.GetLanguageFile(), LanguagePath("dup.ini"));
    EXPECT_TRUE(catalogue.SetLanguage("Big"));
    EXPECT_TRUE(catalogue.SetLanguage("Dup"));
    catalogue.ProvideBuiltInLanguages();
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Catalogue, ExtractReportsFailureWhenTheFileCannotBeWritten) {
    CMultiLanguage catalogue(app.path());
    // "Language" is a plain file, so the folder cannot be made and nothing can be written into it.
    WriteFile(AppPath("Language"), "in the way");
    EXPECT_FALSE(catalogue.ExtractLanguageFile("LANGUAGE", 141, "1.English"));
    catalogue.ProvideBuiltInLanguages();
    EXPECT_TRUE(List(catalogue).isEmpty());
    EXPECT_EQ(ReadAll(AppPath("Language")), "in the way");
    QFile::remove(AppPath("Language"));

    // The target is a folder: it cannot be replaced.
    ASSERT_TRUE(QDir(app.path()).mkpath("Language/1.English.ini"));
    EXPECT_FALSE(catalogue.ExtractLanguageFile("LANGUAGE", 141, "1.English"));
    EXPECT_TRUE(catalogue.ExtractLanguageFile("LANGUAGE", 142, "2.Simplified Chinese"));
    EXPECT_TRUE(ReadAll(LanguagePath("2.Simplified Chinese.ini")) == ReadAll(":/LANGUAGE/142"));
}

TEST_F(Catalogue, ExtractWithoutAResourceWritesJustTheNameAndNeverLeavesTheFolder) {
    CMultiLanguage catalogue(app.path());
    EXPECT_FALSE(catalogue.ExtractLanguageFile("LANGUAGE", 999, "Esperanto"));
    EXPECT_EQ(ReadAll(LanguagePath("Esperanto.ini")), Utf16LE("[Setting]\r\nLanguage=Esperanto\r\n"));
    // An empty file name takes the stored language; an existing file is replaced.
    EXPECT_FALSE(catalogue.ExtractLanguageFile("OTHER", 141, ""));
    EXPECT_EQ(GetPrivateProfileString("Setting", "Language", "", 100, LanguagePath("English.ini")),
              "English");
    EXPECT_TRUE(catalogue.ExtractLanguageFile("LANGUAGE", 143, ""));
    EXPECT_TRUE(ReadAll(LanguagePath("English.ini")) == ReadAll(":/LANGUAGE/143"));

    // A name from a hand-edited setting file must not reach outside the language folder.
    WriteFile(AppPath("setting.ini"), "[Setting]\r\nLanguage=../escaped\r\n");
    EXPECT_FALSE(catalogue.ExtractLanguageFile("LANGUAGE", 141, ""));
    EXPECT_FALSE(catalogue.ExtractLanguageFile("LANGUAGE", 999, "sub/name"));
    EXPECT_FALSE(catalogue.ExtractLanguageFile("LANGUAGE", 141, "..\\x"));
    EXPECT_FALSE(QFile::exists(AppPath("escaped.ini")));
    EXPECT_EQ(QDir(AppPath("Language")).entryList(QDir::Files).size(), 2);
}

TEST_F(Catalogue, MissingOrUnwritablePlacesFallBackToTheDefaults) {
    CMultiLanguage::SetDefaultAppFolder(app.path());
    CMultiLanguage missing; // a catalogue made without a folder, as the windows make theirs
    CMultiLanguage::SetDefaultAppFolder(QString());
    EXPECT_EQ(missing.GetAppFolder(), app.path());
    EXPECT_TRUE(List(missing).isEmpty());
    EXPECT_FALSE(missing.SetLanguage("English"));

    // setting.ini is a folder: nothing can be stored, reading gives the default.
    QFile::remove(AppPath("setting.ini"));
    ASSERT_TRUE(QDir(app.path()).mkdir("setting.ini"));
    WriteLanguageNamed("x.ini", "English");
    CMultiLanguage catalogue(app.path());
    EXPECT_EQ(catalogue.GetLanguageFile(), LanguagePath("x.ini"));
    EXPECT_FALSE(catalogue.SetLanguage("Other"));
    EXPECT_EQ(CMultiLanguage(app.path()).GetLanguage(), "English");
}
