// The languages the program ships: each file holds every key of the translators' template and no other,
// with the same placeholders; the main window shows every menu title whole, with mnemonics unique within
// each menu, in every language; and RFID --language-template writes that template.

#include "language/MultiLanguage.h"
#include "pages/MPDlg.h"
#include "shell/LanguageTemplateCommand.h"
#include "shell/RFIDDlg.h"
#include "tests/support/ShippedLanguages.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using Keys = std::map<QString, QString>; // "SECTION/KEY" -> text

// The keys of a language file in UTF-8 (the shipped files and the template), upper case.
Keys ReadKeys(const QByteArray& bytes) {
    Keys keys;
    QString section;
    for (QString line : QString::fromUtf8(bytes).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"))) {
        line = line.trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']'))
            section = line.mid(1, line.size() - 2).toUpper();
        else if (line.contains(u'='))
            keys[section + u'/' + line.section(u'=', 0, 0).trimmed().toUpper()] = line.section(u'=', 1);
    }
    return keys;
}

std::set<QString> Placeholders(const QString& text) {
    std::set<QString> found;
    for (const QRegularExpressionMatch& match : QRegularExpression(QStringLiteral("%\\d")).globalMatch(text))
        found.insert(match.captured());
    return found;
}

// The letter after '&' in a menu text, lower case; empty when it has none.
QString Mnemonic(const QString& text) {
    const qsizetype amp = text.indexOf(u'&');
    return amp >= 0 && amp + 1 < text.size() ? text.mid(amp + 1, 1).toLower() : QString();
}

void ExpectUniqueMnemonics(const QList<QAction*>& items, const QString& where) {
    std::map<QString, QString> taken;
    for (QAction* item : items) {
        const QString letter = Mnemonic(item->text());
        if (letter.isEmpty())
            continue;
        const auto [it, fresh] = taken.emplace(letter, item->text());
        EXPECT_TRUE(fresh) << qPrintable(QStringLiteral("%1: %2 and %3").arg(where, it->second, item->text()));
        if (QMenu* submenu = item->menu())
            ExpectUniqueMnemonics(submenu->actions(), QStringLiteral("%1 > %2").arg(where, item->text()));
    }
}

} // namespace

TEST(ShippedLanguages, EachFileHoldsEveryKeyOfTheTemplateAndNoOtherWithTheSamePlaceholders) {
    // The texts of every window are made when their windows are: one main window makes them all.
    CRFIDDlg window;
    const Keys english = ReadKeys(LanguageTemplate(QStringLiteral("English")));
    EXPECT_GT(english.size(), 90u);
    EXPECT_EQ(english.at(QStringLiteral("SETTING/LANGUAGE")), QStringLiteral("English"));
    const QStringList files = ShippedLanguageFiles();
    EXPECT_EQ(files.size(), 10);
    for (const QString& path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        const Keys shipped = ReadKeys(file.readAll());
        for (const auto& [key, text] : english) {
            const auto found = shipped.find(key);
            if (found == shipped.end()) {
                ADD_FAILURE() << qPrintable(QStringLiteral("%1: missing %2").arg(path, key));
                continue;
            }
            EXPECT_EQ(Placeholders(found->second), Placeholders(text)) << qPrintable(QStringLiteral("%1: %2").arg(path, key));
            EXPECT_FALSE(found->second.trimmed().isEmpty()) << qPrintable(QStringLiteral("%1: %2").arg(path, key));
        }
        for (const auto& [key, text] : shipped)
            EXPECT_TRUE(english.count(key)) << qPrintable(QStringLiteral("%1: unknown %2").arg(path, key));
    }
}

TEST(ShippedLanguages, TheTemplateCommandWritesEveryKeyWithItsEnglishText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Nederlands.ini"));
    EXPECT_EQ(WriteLanguageTemplateWhenAsked({QStringLiteral("RFID"), QStringLiteral("-x")}), std::nullopt);
    EXPECT_EQ(WriteLanguageTemplateWhenAsked({QStringLiteral("RFID"), QStringLiteral("--language-template")}), 1);
    EXPECT_EQ(WriteLanguageTemplateWhenAsked({QStringLiteral("RFID"), QStringLiteral("--language-template"),
                                              dir.filePath(QStringLiteral("no/such/folder.ini"))}),
              1);
    ASSERT_EQ(WriteLanguageTemplateWhenAsked({QStringLiteral("RFID"), QStringLiteral("--language-template"), path}), 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF[Setting]\r\nLanguage=Nederlands\r\n"));
    const Keys keys = ReadKeys(bytes);
    EXPECT_EQ(keys.at(QStringLiteral("IDD_138/IDD_138_1014")), QStringLiteral("Verify"));
    EXPECT_EQ(keys.at(QStringLiteral("SPECIAL_STRING/IDS_ALLNUMBER")), QStringLiteral("All number\\n[Include Vendor ID]"));
    // A text that begins with a blank keeps it in quotes; a line break is written as backslash and n.
    EXPECT_EQ(keys.at(QStringLiteral("SPECIAL_STRING/IDS_JOURNAL_NOTRECORDED")),
              QStringLiteral("\" (the journal cannot record it)\""));
    EXPECT_TRUE(keys.at(QStringLiteral("SPECIAL_STRING/IDS_JOURNAL_TOONEW")).contains(QStringLiteral("\\n")));
}

TEST(ShippedLanguages, EveryMenuTitleStandsWholeAndMnemonicsAreUniqueWithinEachMenuInEveryLanguage) {
    QTemporaryDir dir;
    CMultiLanguage::SetDefaultAppFolder(dir.path());
    CMultiLanguage catalogue;
    catalogue.ProvideBuiltInLanguages();
    ASSERT_TRUE(ProvideShippedLanguages(dir.path()));
    QStringList languages;
    catalogue.GetLanguageList(languages);
    ASSERT_EQ(languages.size(), 13);
    {
        CRFIDDlg window;
        ASSERT_TRUE(window.CreateTopLevel());
        window.show();
        QMenuBar* bar = window.GetMenu();
        for (qsizetype i = 0; i < languages.size(); ++i) {
            const QString& language = languages[i];
            window.ApplyLanguage(language);
            QCoreApplication::processEvents();
            for (QAction* title : bar->actions()) {
                const QRect shown = bar->actionGeometry(title);
                EXPECT_TRUE(!shown.isEmpty() && bar->rect().contains(shown)) << qPrintable(language + u' ' + title->text());
                // Each menu's own items.
                if (title->menu() && title != bar->actions().at(1)) // the language list holds no mnemonics
                    ExpectUniqueMnemonics(title->menu()->actions(), language + u' ' + title->text());
            }
            // The built-in files stay as they always were (Language and Help share their letter there).
            if (i >= 3)
                ExpectUniqueMnemonics(bar->actions(), language + QStringLiteral(" menu bar"));
        }
    }
    CMultiLanguage::SetDefaultAppFolder(QString());
}
