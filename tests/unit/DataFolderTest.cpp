#include "platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(DataFolder, PortableCopyKeepsItsFilesBesideTheExecutable) {
    EXPECT_EQ(ChooseDataFolder("/opt/rfid", true, "/home/u/.local/share/RFID"), "/opt/rfid");
    EXPECT_EQ(ChooseDataFolder("/usr/bin", false, "/home/u/.local/share/RFID"), "/home/u/.local/share/RFID");
    // Without a home there is nowhere better to go: the executable's folder stays (writes then fail quietly).
    EXPECT_EQ(ChooseDataFolder("/usr/bin", false, ""), "/usr/bin");
}

TEST(DataFolder, UserFolderFollowsXdgDataHome) {
    qputenv("XDG_DATA_HOME", "/tmp/xdg-data");
    EXPECT_EQ(UserDataFolder(), "/tmp/xdg-data/RFID");
    qputenv("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(UserDataFolder(), QDir::homePath() + "/.local/share/RFID");
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(UserDataFolder(), QDir::homePath() + "/.local/share/RFID");
    EXPECT_EQ(InstalledLanguageFolder("/usr/bin"), "/usr/share/RFID/Language");
}

TEST(DataFolder, WritableProbeCreatesNothingAndRefusesMissingFolders) {
    QTemporaryDir dir;
    EXPECT_TRUE(IsFolderWritable(dir.path()));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    EXPECT_FALSE(IsFolderWritable(dir.path() + "/missing"));
    EXPECT_FALSE(IsFolderWritable(QString()));
}

TEST(DataFolder, SeedingCopiesTheInstalledFilesOnceAndNeverUndoesTheUsersChanges) {
    QTemporaryDir installed, data;
    WriteFile(installed.path() + "/1.English.ini", "english");
    WriteFile(installed.path() + "/2.Simplified Chinese.ini", "chinese");
    WriteFile(installed.path() + "/notes.txt", "not a language");
    ASSERT_EQ(chmod(QFile::encodeName(installed.path() + "/1.English.ini").constData(), 0444), 0);

    EXPECT_EQ(SeedLanguageFolder(installed.path(), data.path()), 2);
    const QString language = data.path() + "/Language";
    EXPECT_EQ(ReadFile(language + "/1.English.ini"), "english");
    EXPECT_EQ(ReadFile(language + "/2.Simplified Chinese.ini"), "chinese");
    EXPECT_FALSE(QFile::exists(language + "/notes.txt"));
    EXPECT_TRUE(QFile::permissions(language + "/1.English.ini") & QFileDevice::WriteOwner);

    // The user deletes one file and edits another: a later start leaves both alone.
    QFile::remove(language + "/2.Simplified Chinese.ini");
    WriteFile(language + "/1.English.ini", "edited");
    EXPECT_EQ(SeedLanguageFolder(installed.path(), data.path()), 0);
    EXPECT_FALSE(QFile::exists(language + "/2.Simplified Chinese.ini"));
    EXPECT_EQ(ReadFile(language + "/1.English.ini"), "edited");
}

TEST(DataFolder, NothingInstalledSeedsNothing) {
    QTemporaryDir data;
    EXPECT_EQ(SeedLanguageFolder(data.path() + "/no-such-folder", data.path()), 0);
    EXPECT_FALSE(QFile::exists(data.path() + "/Language"));
}

TEST(DataFolder, WritableExecutableFolderIsUsedAsItIs) {
    QTemporaryDir exe;
    EXPECT_EQ(ResolveDataFolder(exe.path()), exe.path());
    EXPECT_FALSE(QFile::exists(exe.path() + "/Language"));
}

TEST(DataFolder, AnInstalledCopyKeepsItsFilesPerUserEvenWhereItCouldWrite) {
    QTemporaryDir prefix, dataHome;
    ASSERT_TRUE(QDir().mkpath(prefix.path() + "/bin"));
    ASSERT_TRUE(QDir().mkpath(prefix.path() + "/share/RFID/Language"));
    WriteFile(prefix.path() + "/share/RFID/Language/1.English.ini", "english");
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());

    const QString bin = prefix.path() + "/bin";
    EXPECT_FALSE(IsPortableCopy(bin));
    EXPECT_EQ(ResolveDataFolder(bin), dataHome.path() + "/RFID");
    EXPECT_EQ(ReadFile(dataHome.path() + "/RFID/Language/1.English.ini"), "english");
    EXPECT_FALSE(QFile::exists(bin + "/setting.ini"));
    qunsetenv("XDG_DATA_HOME");
}
