#include "language/MultiLanguage.h"

#include "platform/AppFolder.h"
#include "platform/DirListing.h"
#include "platform/PrivateProfile.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <map>
#include <mutex>

Q_LOGGING_CATEGORY(lcLanguage, "rfid.language", QtWarningMsg)

namespace {

const QString SETTING_SECTION = QStringLiteral("Setting");
const QString LANGUAGE_KEY = QStringLiteral("Language");
const QString DEFAULT_LANGUAGE = QStringLiteral("English");

// Read limits, counted with the terminator.
constexpr int LIST_NAME_LIMIT = 100;
constexpr int TEXT_LIMIT = 1000;

QString& DefaultAppFolder() {
    static QString folder;
    return folder;
}

// A language file name names a file inside the language folder and nothing else.
bool IsPlainFileName(const QString& strName) {
    return !strName.contains(u'/') && !strName.contains(u'\\') && !strName.contains(QChar(0)) &&
           strName != QStringLiteral(".") && strName != QStringLiteral("..");
}

// Sets the text a control shows, the way the window text of its kind is shown.
void SetWindowText(QWidget* pWnd, const QString& strText) {
    if (auto* button = qobject_cast<QAbstractButton*>(pWnd))
        button->setText(strText);
    else if (auto* label = qobject_cast<QLabel*>(pWnd))
        label->setText(strText);
    else if (auto* edit = qobject_cast<QLineEdit*>(pWnd))
        edit->setText(strText);
    else if (auto* textEdit = qobject_cast<QTextEdit*>(pWnd))
        textEdit->setPlainText(strText);
    else if (auto* plainEdit = qobject_cast<QPlainTextEdit*>(pWnd))
        plainEdit->setPlainText(strText);
    else if (auto* group = qobject_cast<QGroupBox*>(pWnd))
        group->setTitle(strText);
    else if (auto* combo = qobject_cast<QComboBox*>(pWnd); combo && combo->isEditable())
        combo->setEditText(strText);
    else
        pWnd->setWindowTitle(strText);
}

// The built-in texts by section and key; the strings they point to are literals, so copies stay good.
struct KnownTexts {
    std::mutex mutex;
    std::map<std::pair<QByteArray, QByteArray>, CBuiltInText> texts;
};
KnownTexts& Known() {
    static KnownTexts known;
    return known;
}

// A value as a language file holds it: a line break as backslash and n, blanks at the ends kept in quotes.
QString FileValue(QString text) {
    text.replace(u'\n', QStringLiteral("\\n"));
    if (text != text.trimmed() || (text.startsWith(u'"') && text.endsWith(u'"')))
        text = u'"' + text + u'"';
    return text;
}

} // namespace

CBuiltInText::CBuiltInText(const char* section_, const char* key_, const char16_t* english_,
                           const char16_t* simplifiedChinese_, const char16_t* traditionalChinese_)
    : section(section_), key(key_), english(english_), simplifiedChinese(simplifiedChinese_),
      traditionalChinese(traditionalChinese_) {
    KnownTexts& known = Known();
    const std::lock_guard lock(known.mutex);
    known.texts.insert_or_assign({QByteArray(section_), QByteArray(key_)}, *this);
}

std::vector<CBuiltInText> KnownBuiltInTexts() {
    KnownTexts& known = Known();
    const std::lock_guard lock(known.mutex);
    std::vector<CBuiltInText> texts;
    for (const auto& entry : known.texts)
        texts.push_back(entry.second);
    return texts;
}

QByteArray LanguageTemplate(const QString& language) {
    // The built-in English file's sections and keys, in its order, then the texts added since, each in
    // its section (a section the file does not have goes at the end).
    QFile english(QStringLiteral(":/%1/%2").arg(QLatin1String(CMultiLanguage::LANGUAGE_RESOURCE_TYPE))
                      .arg(CMultiLanguage::IDR_LANGUAGE_ENGLISH));
    english.open(QIODevice::ReadOnly);
    const QByteArray bytes = english.readAll().mid(2); // after the byte-order mark
    const QString builtIn =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    std::vector<std::pair<QString, QStringList>> sections;
    for (const QString& raw : builtIn.split(QStringLiteral("\r\n"))) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']'))
            sections.push_back({line.mid(1, line.size() - 2), {}});
        else if (line.contains(u'=') && !sections.empty())
            sections.back().second << line;
    }
    for (const CBuiltInText& text : KnownBuiltInTexts()) {
        const QString section = QLatin1String(text.section);
        auto it = std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == section; });
        if (it == sections.end())
            it = sections.insert(sections.end(), {section, {}});
        const QString key = QLatin1String(text.key);
        const bool known = std::any_of(it->second.begin(), it->second.end(), [&](const QString& line) {
            return line.section(u'=', 0, 0).compare(key, Qt::CaseInsensitive) == 0;
        });
        if (!known)
            it->second << key + u'=' + FileValue(QString::fromUtf16(text.english));
    }
    QString out;
    for (auto& [section, lines] : sections) {
        if (section == SETTING_SECTION)
            lines = {LANGUAGE_KEY + u'=' + language};
        out += u'[' + section + QStringLiteral("]\r\n") + lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

CMultiLanguage::CMultiLanguage(const QString& strAppFolder) {
    m_strAppFolder = !strAppFolder.isEmpty()         ? strAppFolder
                     : !DefaultAppFolder().isEmpty() ? DefaultAppFolder()
                                                     : ExecutableFolder();
    // Without a known application folder no file is read or written (rather than the root folder).
    if (!m_strAppFolder.isEmpty())
        m_strSettingFile = m_strAppFolder + QStringLiteral("/setting.ini");
    if (!m_strSettingFile.isEmpty() && !QFileInfo::exists(m_strSettingFile))
        WritePrivateProfileString(SETTING_SECTION, LANGUAGE_KEY, DEFAULT_LANGUAGE, m_strSettingFile);
    SetLanguage(QString());
}

void CMultiLanguage::SetDefaultAppFolder(const QString& strAppFolder) {
    DefaultAppFolder() = strAppFolder;
}

QString CMultiLanguage::GetLanguageFolder() const {
    return m_strAppFolder.isEmpty() ? QString() : m_strAppFolder + QStringLiteral("/Language");
}

QStringList CMultiLanguage::LanguageFiles() const {
    const QString folder = GetLanguageFolder();
    if (folder.isEmpty())
        return {};
    QStringList files = ListFilesBySuffix(folder, QStringLiteral(".ini"));
    for (QString& name : files)
        name = folder + u'/' + name;
    return files;
}

void CMultiLanguage::GetLanguageList(QStringList& list) const {
    list.clear();
    for (const QString& file : LanguageFiles()) {
        const QString name =
            GetPrivateProfileString(SETTING_SECTION, LANGUAGE_KEY, QString(), LIST_NAME_LIMIT, file);
        if (!name.isEmpty())
            list.append(name);
    }
}

bool CMultiLanguage::SetLanguage(const QString& strLanguage) {
    m_strLanguage = !strLanguage.isEmpty()
                        ? strLanguage
                        : GetPrivateProfileString(SETTING_SECTION, LANGUAGE_KEY, DEFAULT_LANGUAGE, TEXT_LIMIT,
                                                  m_strSettingFile);
    bool bFound = false;
    for (const QString& file : LanguageFiles()) {
        const QString name =
            GetPrivateProfileString(SETTING_SECTION, LANGUAGE_KEY, QString(), TEXT_LIMIT, file);
        if (!name.isEmpty() && name == m_strLanguage) {
            m_strLanguageFile = file;
            bFound = true;
            break;
        }
    }
    if (!bFound)
        qCDebug(lcLanguage) << "no language file for" << m_strLanguage;
    // The choice is remembered even without a file, so the next start asks for it again.
    if (!WritePrivateProfileString(SETTING_SECTION, LANGUAGE_KEY, m_strLanguage, m_strSettingFile))
        qCDebug(lcLanguage) << "cannot store the language in" << m_strSettingFile;
    return bFound;
}

bool CMultiLanguage::ExtractLanguageFile(const QString& strType, int nResource, QString strFileName) {
    const QString folder = GetLanguageFolder();
    if (folder.isEmpty())
        return false;
    QDir().mkdir(folder); // an existing folder or a failure shows in the writes below

    if (strFileName.isEmpty())
        strFileName = GetPrivateProfileString(SETTING_SECTION, LANGUAGE_KEY, DEFAULT_LANGUAGE, TEXT_LIMIT,
                                              m_strSettingFile);
    // The name may come from a hand-edited "setting.ini": it must not reach outside the folder.
    if (strFileName.isEmpty() || !IsPlainFileName(strFileName))
        return false;
    const QString path = folder + u'/' + strFileName + QStringLiteral(".ini");

    QFile resource(QStringLiteral(":/%1/%2").arg(strType).arg(nResource));
    if (!resource.exists()) {
        WritePrivateProfileString(SETTING_SECTION, LANGUAGE_KEY, strFileName, path);
        return false;
    }
    if (!resource.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = resource.readAll();

    // Written beside and renamed, so a failed write never leaves a cut language file behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qCDebug(lcLanguage) << "cannot write" << path;
        return false;
    }
    return file.commit();
}

QStringList CMultiLanguage::ProvideBuiltInLanguages() {
    QStringList list;
    GetLanguageList(list);
    if (!list.isEmpty())
        return list;
    const QString type = QString::fromLatin1(LANGUAGE_RESOURCE_TYPE);
    ExtractLanguageFile(type, IDR_LANGUAGE_ENGLISH, QStringLiteral("1.English"));
    ExtractLanguageFile(type, IDR_LANGUAGE_SIMPLIFIED_CHINESE, QStringLiteral("2.Simplified Chinese"));
    ExtractLanguageFile(type, IDR_LANGUAGE_TRADITIONAL_CHINESE, QStringLiteral("3.Traditional Chinese"));
    GetLanguageList(list);
    SetLanguage(DEFAULT_LANGUAGE);
    return list;
}

QString CMultiLanguage::ReadText(const QString& strSection, const QString& strKey) const {
    if (m_strLanguageFile.isEmpty())
        return QString();
    return GetPrivateProfileString(strSection, strKey, QString(), TEXT_LIMIT, m_strLanguageFile);
}

void CMultiLanguage::TranslateDialog(QWidget* pDialog, unsigned nDialog) {
    if (!pDialog)
        return;
    section = QStringLiteral("IDD_%1").arg(nDialog);
    key = section + QStringLiteral("_Title");
    text = ReadText(section, key);
    if (!text.isEmpty())
        pDialog->setWindowTitle(text);

    // Direct children only, in child order; a child without a control id has no key.
    const QObjectList children = pDialog->children();
    for (QObject* child : children) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control || control->isWindow())
            continue;
        bool bHasId = false;
        const int nId = control->property("controlId").toInt(&bHasId);
        if (!bHasId)
            continue;
        key = section + u'_' + QString::number(nId);
        text = ReadText(section, key);
        if (!text.isEmpty())
            SetWindowText(control, text);
    }
}

void CMultiLanguage::TranslateMenu(QWidget* pMenu, unsigned nMenu, const QString& strPrefix) {
    if (!pMenu)
        return;
    if (nMenu != 0)
        section = QStringLiteral("MENU_%1").arg(nMenu);
    // A copy: the prefix may be the working key, which the submenu calls below overwrite.
    QString prefix = strPrefix;
    const QList<QAction*> items = pMenu->actions();
    for (qsizetype p = 0; p < items.size(); ++p) {
        QAction* item = items[p];
        if (QMenu* submenu = item->menu()) {
            if (prefix.isEmpty())
                prefix = section;
            key = prefix + u'_' + QString::number(unsigned(p));
            text = ReadText(section, key);
            if (!text.isEmpty())
                item->setText(text); // the popup's own action: it keeps its submenu and place
            TranslateMenu(submenu, 0, key);
        } else if (!item->isSeparator()) {
            bool bHasId = false;
            const int nCommand = item->data().toInt(&bHasId);
            if (!bHasId)
                continue; // an action without a command id has no key
            key = section + u'_' + QString::number(unsigned(nCommand));
            text = ReadText(section, key);
            if (!text.isEmpty())
                item->setText(text);
        }
    }
}

QString CMultiLanguage::GetText(const CBuiltInText& builtIn) const {
    QString fromFile = ReadText(QLatin1String(builtIn.section), QLatin1String(builtIn.key));
    // A file writes a line break as backslash and n, as in its special strings.
    fromFile.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    if (!fromFile.isEmpty())
        return fromFile;
    // The names the built-in Chinese language files give themselves.
    if (m_strLanguage == QStringLiteral("\u7B80\u4F53\u4E2D\u6587"))
        return QString::fromUtf16(builtIn.simplifiedChinese);
    if (m_strLanguage == QStringLiteral("\u7E41\u9AD4\u4E2D\u6587"))
        return QString::fromUtf16(builtIn.traditionalChinese);
    return QString::fromUtf16(builtIn.english);
}

QString CMultiLanguage::GetSpecialString(const QString& strSection, const QString& strKey) {
    section = strSection;
    key = strKey;
    text = ReadText(section, key);
    // Backslash and n stand for a line break; the line feeds put in are not scanned again.
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    return text;
}
