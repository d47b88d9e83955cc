// rfid-screens: every page and window of the real main window, in every language the program ships, as PNG
// files for people to look at side by side. The main window runs over an emulated reader on an emulated USB
// bus (with a card on it), in a scratch folder holding the built-in and shipped language files.
//
//   rfid-screens OUTPUT-FOLDER      writes OUTPUT-FOLDER/<nn> <language>/<nn>-<screen>.png

#include "emulator/EmuTestbed.h"
#include "language/MultiLanguage.h"
#include "pages/MPDlg.h"
#include "shell/RFIDDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

void Pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (clock.elapsed() < ms);
}

// The built-in files as the program writes them out, then the shipped ones beside them.
QStringList ProvideLanguages(const QString& appFolder, const QString& shippedFolder) {
    CMultiLanguage catalogue(appFolder);
    catalogue.ProvideBuiltInLanguages();
    const QDir shipped(shippedFolder);
    for (const QString& name : shipped.entryList({QStringLiteral("*.ini")}, QDir::Files))
        QFile::copy(shipped.filePath(name), appFolder + QStringLiteral("/Language/") + name);
    QStringList languages;
    catalogue.GetLanguageList(languages);
    return languages;
}

QAction* FileMenuItem(CRFIDDlg& window, int command) {
    for (QAction* item : window.GetMenu()->actions().at(0)->menu()->actions()) {
        if (item->data().toInt() == command)
            return item;
    }
    return nullptr;
}

class Screens {
public:
    Screens(CRFIDDlg& window, CEmulatedReader& reader, QString folder)
        : m_window(window), m_reader(reader), m_folder(std::move(folder)) {}

    void TakeAll(const QStringList& languages) {
        for (int i = 0; i < languages.size(); ++i) {
            m_window.ApplyLanguage(languages[i]);
            m_dir = QDir(m_folder).filePath(QStringLiteral("%1 %2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(languages[i]));
            QDir().mkpath(m_dir);
            m_shot = 0;
            TakeLanguage();
        }
    }

private:
    void Save(QWidget& widget, const QString& screen) {
        Pump(150);
        const QString path = QDir(m_dir).filePath(QStringLiteral("%1-%2.png").arg(++m_shot, 2, 10, QLatin1Char('0')).arg(screen));
        if (!widget.grab().save(path))
            std::fprintf(stderr, "rfid-screens: cannot write %s\n", qPrintable(path));
    }

    void TakeLanguage() {
        m_window.ShowPage(0);
        Save(m_window, QStringLiteral("read-write"));
        m_window.ShowPage(1);
        Save(m_window, QStringLiteral("mass-production"));
        // A hands-free run waiting for a card, its state line in large letters.
        CMPDlg& page = m_window.MassProductionPage();
        page.SetDlgItemText(CMPDlg::IDC_EDIT_VENDORID, QStringLiteral("18"));
        page.SetDlgItemText(CMPDlg::IDC_EDIT_CARDNO, QStringLiteral("878082202"));
        const std::optional<std::uint64_t> card = m_reader.CardId();
        m_reader.RemoveCard();
        auto* handsFree = qobject_cast<QAbstractButton*>(page.GetDlgItem(CMPDlg::IDC_CHECK_HANDSFREE));
        handsFree->setChecked(true);
        page.StartHandsFreeRun();
        Save(m_window, QStringLiteral("hands-free"));
        page.StopHandsFreeRun(CHandsFreeRun::StopReason::Operator);
        handsFree->setChecked(false);
        m_reader.PutCard(card.value_or(0));
        SaveMenus();
        SaveOwnWindows();
        m_window.ShowPage(0);
    }

    // Each menu of the bar, opened.
    void SaveMenus() {
        const QList<QAction*> titles = m_window.GetMenu()->actions();
        for (int i = 0; i < titles.size(); ++i) {
            QMenu* menu = titles[i]->menu();
            if (!menu)
                continue;
            emit menu->aboutToShow();
            menu->popup(m_window.mapToGlobal(QPoint(20, 20)));
            Save(*menu, QStringLiteral("menu-%1").arg(i + 1));
            menu->hide();
        }
    }

    // The windows the File and Help menus open.
    void SaveOwnWindows() {
        if (QAction* journal = FileMenuItem(m_window, ID_MENU_JOURNAL)) {
            journal->trigger();
            if (QWidget* opened = reinterpret_cast<QWidget*>(m_window.JournalWindow())) {
                Save(*opened, QStringLiteral("journal"));
                opened->close();
            }
        }
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != &m_window && top->isVisible() && !qobject_cast<QMenu*>(top))
                top->close();
    }

    CRFIDDlg& m_window;
    CEmulatedReader& m_reader;
    QString m_folder;
    QString m_dir;
    int m_shot = 0;
};

} // namespace

int main(int argc, char** argv) {
    CEmuTestbed::EnsurePreload(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: rfid-screens OUTPUT-FOLDER\n");
        return 2;
    }
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QStringList languages = ProvideLanguages(scratch.path(), QStringLiteral(RFID_SHIPPED_LANGUAGES));
    CMultiLanguage::SetDefaultAppFolder(scratch.path());

    CEmuTestbed testbed; // before any reader object: libusb picks its device folder at start
    std::shared_ptr<CEmuUsbDevice> device = testbed.PlugReader();
    device->Reader().PutCard(78187493530);
    int status = 0;
    {
        CRFIDDlg window;
        QTimer::singleShot(0, &window, [&] {
            QElapsedTimer wait;
            wait.start();
            while (!window.IsReaderReady() && wait.elapsed() < 10000)
                Pump(50);
            window.resize(900, 640);
            Screens(window, device->Reader(), output).TakeAll(languages);
            std::printf("rfid-screens: %lld languages in %s\n", static_cast<long long>(languages.size()),
                        qPrintable(output));
            window.EndDialog(IDCANCEL);
        });
        window.DoModal();
    }
    CMultiLanguage::SetDefaultAppFolder(QString());
    return status;
}
