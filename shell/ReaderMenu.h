#pragma once

// File > Reader: with several readers plugged in, a check item per reader (its id, and its serial number
// where it has one); the window uses the chosen one and remembers it by its id in setting.ini. With one
// reader or none the entry is hidden and the window takes the reader there is, as it always has.

#include "language/MultiLanguage.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QAction;
class QMenu;

// Where the chosen reader's id is kept in setting.ini.
inline const QString READER_SECTION = QStringLiteral("Reader");
inline const QString READER_KEY = QStringLiteral("Id");

namespace ReaderText {
extern const CBuiltInText Menu;
extern const CBuiltInText InUse; // %1: the reader's id
}

class CReaderMenu : public QObject {
public:
    using ReopenHandler = std::function<void()>;

    // Adds the popup to file before `before`, and makes the reader remembered in strSettingFile the
    // window's preference; reopen opens the window's reader again after a choice.
    void Create(QMenu* file, QAction* before, const QString& strSettingFile, ReopenHandler reopen);
    void Translate(const CMultiLanguage& language);
    // After a bus scan: the entry is shown while several readers are plugged in.
    void Update();
    // Takes the reader with this id, remembers it and opens it.
    void Choose(const std::string& id);

    QMenu* Menu() const { return m_pMenu; }

private:
    void Fill();

    QMenu* m_pMenu = nullptr;
    QString m_strSettingFile;
    ReopenHandler m_fnReopen;
};
