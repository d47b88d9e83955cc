#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

// A text that the three built-in language files do not carry (they stay byte for byte as shipped, since
// stored files and other programs rely on them): its wording in each built-in language is compiled in,
// and a language file may still carry it under its key.
//
// Every such text makes itself known when it is made (the program's constants when the program starts), so
// that a template for translators can list them all (LanguageTemplate).
struct CBuiltInText {
    CBuiltInText(const char* section_, const char* key_, const char16_t* english_, const char16_t* simplifiedChinese_,
                 const char16_t* traditionalChinese_);

    const char* section;
    const char* key;
    const char16_t* english;
    const char16_t* simplifiedChinese;
    const char16_t* traditionalChinese;
};

// Every built-in text made so far, by section and key.
std::vector<CBuiltInText> KnownBuiltInTexts();

// A language file for translators: every key the program looks up (the dialogs, menus and special strings
// of the built-in English file, then every built-in text), with its English text, "Language=" named
// `language`. UTF-8 with a byte-order mark and CR LF line ends, as the shipped language files are.
QByteArray LanguageTemplate(const QString& language);

// The language catalogue and translator. Every window that shows translated text owns one.
//
// It knows the application folder, keeps the current language in "setting.ini" there, lists the
// language files of the "Language" folder beside it, writes out the three built-in languages and
// carries the texts of the current language file into dialogs, menus and other places.
// Catalogue operations report by result only; nothing is shown to the user.
class CMultiLanguage {
public:
    // Resource type and numbers of the built-in language texts.
    static constexpr const char* LANGUAGE_RESOURCE_TYPE = "LANGUAGE";
    static constexpr int IDR_LANGUAGE_ENGLISH = 141;
    static constexpr int IDR_LANGUAGE_SIMPLIFIED_CHINESE = 142;
    static constexpr int IDR_LANGUAGE_TRADITIONAL_CHINESE = 143;

    // Uses strAppFolder as the application folder; an empty one means the folder set with
    // SetDefaultAppFolder, or else the executable's own folder. Creates "setting.ini" with
    // Language=English when it is missing, then selects the stored language.
    explicit CMultiLanguage(const QString& strAppFolder = QString());

    // Makes every catalogue constructed afterwards without a folder use strAppFolder (tests run the
    // windows in a temporary application folder). An empty folder restores the executable's folder.
    static void SetDefaultAppFolder(const QString& strAppFolder);

    // Empties list, then appends the language name of every usable file of the language folder,
    // in file name order. Duplicates stay; names are cut to 99 characters.
    void GetLanguageList(QStringList& list) const;

    // Makes the language called strLanguage current (an empty name: the one of "setting.ini"),
    // writes its name to "setting.ini" and returns whether a file of that language was found.
    bool SetLanguage(const QString& strLanguage);

    QString GetLanguage() const { return m_strLanguage; }

    // Writes the built-in text strType/nResource out as Language/<strFileName>.ini (an empty file
    // name: the language of "setting.ini"). False when there is no such text or the file could not
    // be created and written in full.
    bool ExtractLanguageFile(const QString& strType, int nResource, QString strFileName);

    // Writes out the three built-in language files and selects English when the language folder
    // holds no usable language file, and returns the language list as it then stands. The main
    // window runs it once while it is initialised.
    QStringList ProvideBuiltInLanguages();

    // Sets the caption of pDialog from IDD_<nDialog>_Title and the text of each direct child that
    // carries the dynamic property "controlId" from IDD_<nDialog>_<id>. Missing or empty values
    // change nothing.
    void TranslateDialog(QWidget* pDialog, unsigned nDialog);

    // Sets the texts of a QMenuBar or QMenu and its submenus from MENU_<nMenu>: popups keyed by
    // their position path, command items (QAction::data() holds the command id) by command id.
    // nMenu 0 keeps the section of the previous call; strPrefix is empty for a top-level call.
    void TranslateMenu(QWidget* pMenu, unsigned nMenu, const QString& strPrefix = QString());

    // The value of strKey in strSection of the current file with backslash-n turned into a line
    // feed; empty when the key is missing or empty.
    QString GetSpecialString(const QString& strSection, const QString& strKey);

    // The text in the current language: the value of its key in the current language file when it has
    // one, else its built-in wording for the current built-in language (English for any other language).
    QString GetText(const CBuiltInText& builtIn) const;

    QString GetAppFolder() const { return m_strAppFolder; }
    QString GetSettingFile() const { return m_strSettingFile; }
    QString GetLanguageFolder() const;
    QString GetLanguageFile() const { return m_strLanguageFile; }

private:
    QStringList LanguageFiles() const;
    QString ReadText(const QString& strSection, const QString& strKey) const;

    QString m_strAppFolder;
    QString m_strSettingFile;
    QString m_strLanguageFile;
    QString m_strLanguage;
    // Working strings of the translation operations; the section survives into submenu calls.
    QString section;
    QString key;
    QString text;
};
