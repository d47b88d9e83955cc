#include "shell/NumberFormsMenu.h"

#include "platform/PrivateProfile.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <iterator>

namespace {

constexpr int kStoredTextLimit = 200;

const CBuiltInText kNumberFormsTitle = {"MENU_137", "MENU_137_NumberForms", u"Number Forms(&N)",
                                        u"\u5361\u53F7\u683C\u5F0F(&N)", u"\u5361\u865F\u683C\u5F0F(&N)"};

// The item text of a form: its printed name, the Wiegand form with its digit groups.
QString ItemText(NumberForm form) {
    return form == FORM_W26 ? QStringLiteral("W26 (3.5)") : NumberFormName(form);
}

} // namespace

NumberFormSet LoadNumberForms(const QString& strSettingFile) {
    return NumberFormsFromText(
        GetPrivateProfileString(NUMBER_FORMS_SECTION, NUMBER_FORMS_KEY, QString(), kStoredTextLimit, strSettingFile));
}

bool SaveNumberForms(const QString& strSettingFile, NumberFormSet forms) {
    return WritePrivateProfileString(NUMBER_FORMS_SECTION, NUMBER_FORMS_KEY, NumberFormsToText(forms),
                                     strSettingFile);
}

void CNumberFormsMenu::Create(QMenuBar* pMenuBar, const QString& strSettingFile, ChangeHandler onChange) {
    m_strSettingFile = strSettingFile;
    m_onChange = std::move(onChange);
    m_nForms = LoadNumberForms(strSettingFile);
    QMenu* file = nullptr;
    if (pMenuBar && !pMenuBar->actions().isEmpty())
        file = pMenuBar->actions().constFirst()->menu();
    if (!file)
        return;
    m_pPopup = new QMenu(QString::fromUtf16(kNumberFormsTitle.english), file);
    for (std::size_t i = 0; i < std::size(ALL_NUMBER_FORMS); ++i) {
        QAction* item = m_pPopup->addAction(ItemText(ALL_NUMBER_FORMS[i]));
        item->setData(ID_MENU_NUMBERFORM_FIRST + int(i));
        item->setCheckable(true);
    }
    // Before Exit, in a group of its own.
    QAction* before = nullptr;
    for (QAction* entry : file->actions()) {
        if (entry->isSeparator())
            before = entry;
    }
    file->insertMenu(before, m_pPopup);
    file->insertSeparator(m_pPopup->menuAction());
    ShowChecks();
}

void CNumberFormsMenu::Translate(const CMultiLanguage& language) {
    if (m_pPopup)
        m_pPopup->setTitle(language.GetText(kNumberFormsTitle));
}

bool CNumberFormsMenu::OnCommand(int nID) {
    if (nID < ID_MENU_NUMBERFORM_FIRST || nID > ID_MENU_NUMBERFORM_LAST)
        return false;
    m_nForms ^= ALL_NUMBER_FORMS[nID - ID_MENU_NUMBERFORM_FIRST];
    SaveNumberForms(m_strSettingFile, m_nForms);
    ShowChecks();
    if (m_onChange)
        m_onChange(m_nForms);
    return true;
}

void CNumberFormsMenu::ShowChecks() {
    if (!m_pPopup)
        return;
    for (QAction* item : m_pPopup->actions()) {
        const int nID = item->data().toInt();
        if (nID >= ID_MENU_NUMBERFORM_FIRST && nID <= ID_MENU_NUMBERFORM_LAST)
            item->setChecked((m_nForms & ALL_NUMBER_FORMS[nID - ID_MENU_NUMBERFORM_FIRST]) != 0);
    }
}
