#include "shell/ReaderMenu.h"

#include "platform/PrivateProfile.h"
#include "reader/USBDevice.h"

#include <QMenu>

namespace ReaderText {
const CBuiltInText Menu = {"SPECIAL_STRING", "IDS_READER_MENU", u"Reader", u"读卡器", u"讀卡器"};
const CBuiltInText InUse = {"SPECIAL_STRING", "IDS_READER_IN_USE",
                            u"The reader %1 is in use by another program. A reader serves one program at a time.",
                            u"读卡器 %1 正被另一个程序使用。一个读卡器同一时间只能供一个程序使用。",
                            u"讀卡器 %1 正被另一個程式使用。一個讀卡器同一時間只能供一個程式使用。"};
}

void CReaderMenu::Create(QMenu* file, QAction* before, const QString& strSettingFile, ReopenHandler reopen) {
    m_strSettingFile = strSettingFile;
    m_fnReopen = std::move(reopen);
    m_pMenu = new QMenu(QString::fromUtf16(ReaderText::Menu.english), file);
    file->insertMenu(before, m_pMenu);
    m_pMenu->menuAction()->setVisible(false);
    connect(m_pMenu, &QMenu::aboutToShow, this, [this] { Fill(); });
    const QString remembered = GetPrivateProfileString(READER_SECTION, READER_KEY, QString(), 256, m_strSettingFile);
    if (!remembered.trimmed().isEmpty())
        CUSBDevice::ChooseReader(remembered.trimmed().toStdString(), true);
}

void CReaderMenu::Translate(const CMultiLanguage& language) {
    if (m_pMenu)
        m_pMenu->setTitle(language.GetText(ReaderText::Menu));
}

void CReaderMenu::Update() {
    if (m_pMenu)
        m_pMenu->menuAction()->setVisible(ReaderDeviceNodes().size() > 1);
}

void CReaderMenu::Fill() {
    m_pMenu->clear();
    const std::string open = CUSBDevice::OpenReaderPlace().id;
    for (const ReaderPlace& place : ListReaderPlaces()) {
        const QString id = QString::fromStdString(place.id);
        const QString text = place.serial.empty() ? id : id + QStringLiteral(" (") + QString::fromStdString(place.serial) + ')';
        QAction* item = m_pMenu->addAction(text);
        item->setCheckable(true);
        item->setChecked(place.id == open);
        connect(item, &QAction::triggered, this, [this, id = place.id] { Choose(id); });
    }
}

void CReaderMenu::Choose(const std::string& id) {
    CUSBDevice::ChooseReader(id, true);
    WritePrivateProfileString(READER_SECTION, READER_KEY, QString::fromStdString(id), m_strSettingFile);
    if (m_fnReopen)
        m_fnReopen();
}
