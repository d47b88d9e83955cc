#pragma once

// File > Number Forms: a check item per printed form of an identifier. The choice is kept in setting.ini
// and decides which forms the card pages add after a good read or write; none is chosen at first, and then
// the pages log exactly as they always have.

#include "language/MultiLanguage.h"
#include "cards/NumberForms.h"

#include <QString>

#include <functional>

class QMenu;
class QMenuBar;

// Command ids of the five items, in the order of ALL_NUMBER_FORMS.
constexpr int ID_MENU_NUMBERFORM_FIRST = 32790;
constexpr int ID_MENU_NUMBERFORM_LAST = ID_MENU_NUMBERFORM_FIRST + 4;

// Where the choice is stored in setting.ini, as NumberFormsToText writes it.
inline const QString NUMBER_FORMS_SECTION = QStringLiteral("Setting");
inline const QString NUMBER_FORMS_KEY = QStringLiteral("NumberForms");

// The choice stored in the setting file (none when it is missing or names no form).
NumberFormSet LoadNumberForms(const QString& strSettingFile);
bool SaveNumberForms(const QString& strSettingFile, NumberFormSet forms);

class CNumberFormsMenu {
public:
    using ChangeHandler = std::function<void(NumberFormSet)>;

    // Adds the popup to the first popup of the menu bar (File), before its last separator, with the choice
    // stored in strSettingFile; onChange hears every change of the choice.
    void Create(QMenuBar* pMenuBar, const QString& strSettingFile, ChangeHandler onChange);

    // The popup's title in the catalogue's language (the form names are the same in every language, but a
    // language file may still name them by their command ids).
    void Translate(const CMultiLanguage& language);

    // Handles a command of one of the items: switches that form and stores the choice. False for any other
    // command.
    bool OnCommand(int nID);

    NumberFormSet GetForms() const { return m_nForms; }
    QMenu* GetPopup() const { return m_pPopup; }

private:
    void ShowChecks();

    QMenu* m_pPopup = nullptr;
    QString m_strSettingFile;
    NumberFormSet m_nForms = 0;
    ChangeHandler m_onChange;
};
