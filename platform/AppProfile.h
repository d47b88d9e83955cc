#pragma once

// The application profile: integers and texts by section and entry, kept per user.
//
// The store is QSettings(NativeFormat, UserScope, <registry key>, <application name>), where
// the registry key is "Local AppWizard-Generated Applications" and the application name is the
// executable's file name without its extension, so a renamed executable starts from an empty
// profile. A backslash in a section name is a nesting level ("splt\init_v40000").

#include <QString>

inline constexpr char kDefaultRegistryKey[] = "Local AppWizard-Generated Applications";

// Sets the organisation part of the store (the application start-up does this once).
void SetRegistryKey(const QString& strKey);
QString GetRegistryKey();
// The application part of the store: the executable's base name.
QString GetProfileName();

int GetProfileInt(const QString& section, const QString& entry, int nDefault);
bool WriteProfileInt(const QString& section, const QString& entry, int nValue);
QString GetProfileString(const QString& section, const QString& entry, const QString& strDefault = QString());
bool WriteProfileString(const QString& section, const QString& entry, const QString& strValue);

// The settings key that a section and entry are stored under ("splt/init_v40000/VertSplitPos").
QString ProfileKey(const QString& section, const QString& entry);
