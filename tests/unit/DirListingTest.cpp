#include "platform/DirListing.h"
#include "platform/AppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(DirListing, ListsMatchingPlainFilesInCaseInsensitiveNameOrder) {
    QTemporaryDir dir;
    for (const char* name : {"Deutsch.ini", "3.Traditional Chinese.ini", "b.INI", "1.English.ini", "a.ini",
                             "2.Simplified Chinese.ini", "notes.txt", "x.ini.bak", ".ini"})
        Touch(dir.filePath(name));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    ASSERT_TRUE(QFile::link(dir.filePath("a.ini"), dir.filePath("link.ini")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone"), dir.filePath("dangling.ini")));

    EXPECT_EQ(ListFilesBySuffix(dir.path(), ".ini"),
              (QStringList{".ini", "1.English.ini", "2.Simplified Chinese.ini", "3.Traditional Chinese.ini",
                           "a.ini", "b.INI", "Deutsch.ini", "link.ini"}));
}

TEST(DirListing, MissingFolderGivesNothing) {
    QTemporaryDir dir;
    EXPECT_TRUE(ListFilesBySuffix(dir.filePath("missing"), ".ini").isEmpty());
    Touch(dir.filePath("plain"));
    EXPECT_TRUE(ListFilesBySuffix(dir.filePath("plain"), ".ini").isEmpty());
}

TEST(DirListing, NamesCompareByTheirUpperCaseForms) {
    // "_" sorts after the letters once both are upper case, as on the usual file system.
    EXPECT_TRUE(FileNameLess("Ab.ini", "a_b.ini"));
    EXPECT_FALSE(FileNameLess("a_b.ini", "Ab.ini"));
    EXPECT_TRUE(FileNameLess("alpha", "BETA"));
    // Names equal but for case still get one fixed order.
    EXPECT_NE(FileNameLess("abc", "ABC"), FileNameLess("ABC", "abc"));
}

TEST(AppFolder, IsTheFolderOfTheRunningExecutable) {
    const QString folder = ExecutableFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_FALSE(folder.endsWith('/'));
    EXPECT_TRUE(QFileInfo(folder + "/language_unit_tests").isExecutable());
}
