#pragma once

#include <QString>

// Where the program keeps "setting.ini" and its "Language" folder.
//
// A portable copy keeps them beside its executable. An installed copy lives in a system folder that the
// user cannot write, where it could neither remember the language nor write out its language files; it
// uses the user's data folder instead, seeded with the language files installed beside the program.

// The folder to use: the executable's folder for a portable copy, else the per-user folder.
QString ChooseDataFolder(const QString& executableFolder, bool portable,
                         const QString& userDataFolder);

// The per-user folder: $XDG_DATA_HOME/RFID, or ~/.local/share/RFID.
QString UserDataFolder();

// The installed language files of an executable in <prefix>/bin: <prefix>/share/RFID/Language.
QString InstalledLanguageFolder(const QString& executableFolder);

// Whether a file can be created in the folder (a real probe, so read-only mounts count too).
bool IsFolderWritable(const QString& folder);

// Creates dataFolder/Language and copies every *.ini of installedFolder into it, but only when that
// Language folder did not exist yet: the user's own changes (a deleted or edited file) are never undone.
// Returns the number of files copied.
int SeedLanguageFolder(const QString& installedFolder, const QString& dataFolder);

// A copy is portable when its folder can be written and it is not installed beside a share/RFID folder
// (root can write a system folder, but an installed program still keeps its files per user).
bool IsPortableCopy(const QString& executableFolder);

// The whole decision for the running program: the folder to use, with its language folder seeded when it
// is the per-user one.
QString ResolveDataFolder(const QString& executableFolder);
