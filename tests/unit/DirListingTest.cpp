#include "platform/DirListing.h"
#include "platform/AppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(DirListing, ListsMatchingPlainFilesInCaseInsensitiveNameOrder) {
    QTemporaryDir dir;
    for (const char* name : {"Deutsch.ini", "3.Traditional Chinese.ini", "b.INI", "1.English.ini", "a_b.ini",
                             "Ab.ini", "2.Simplified Chinese.ini", "notes.txt", "x.ini.bak"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    ASSERT_TRUE(QFile::link(dir.filePath("b.INI"), dir.filePath("link.ini")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone"), dir.filePath("dangling.ini")));
    // "_" sorts after the letters once both are upper case, as on the usual file system.
    EXPECT_EQ(ListFilesBySuffix(dir.path(), ".ini"),
              (QStringList{"1.English.ini", "2.Simplified Chinese.ini", "3.Traditional Chinese.ini", "Ab.ini",
                           "a_b.ini", "b.INI", "Deutsch.ini", "link.ini"}));
    EXPECT_TRUE(ListFilesBySuffix(dir.filePath("missing"), ".ini").isEmpty());
    EXPECT_TRUE(ListFilesBySuffix(dir.filePath("notes.txt"), ".ini").isEmpty());
    // Names equal but for case still get one fixed order.
    EXPECT_NE(FileNameLess("abc", "ABC"), FileNameLess("ABC", "abc"));
}

TEST(AppFolder, IsTheFolderOfTheRunningExecutable) {
    const QString folder = ExecutableFolder();
    EXPECT_FALSE(folder.endsWith('/'));
    EXPECT_TRUE(QFileInfo(folder + "/platform_unit_tests").isExecutable());
}
