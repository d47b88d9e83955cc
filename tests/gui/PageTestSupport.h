#pragma once

// Helpers of the card pages' window tests: a page created on its own in a fresh application
// folder, and typing into its fields the way a person does.

#include "language/MultiLanguage.h"
#include "tests/support/ShippedLanguages.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// A page of type TPage created as a window of its own, shown at its template size.
template <class TPage> class PageFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_appFolder.isValid());
        CMultiLanguage::SetDefaultAppFolder(m_appFolder.path());
        m_page = std::make_unique<TPage>();
        ASSERT_TRUE(m_page->Create(nullptr));
        m_page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_page.get()));
    }
    void TearDown() override {
        m_page.reset();
        CMultiLanguage::SetDefaultAppFolder(QString());
    }

    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(m_page->GetDlgItem(id)); }

    // The field's text after typing `key` with the caret at `caret` in `text`.
    QString TypeAt(int id, const QString& text, int caret, int key,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QLineEdit* edit = Edit(id);
        edit->setFocus();
        edit->setText(text);
        edit->setCursorPosition(caret);
        QTest::keyClick(edit, Qt::Key(key), modifiers);
        return edit->text();
    }

    // Whether the page swallows `key` (with `modifiers`) aimed at the control `id`.
    bool Swallows(int id, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        return m_page->PreTranslateMessage(m_page->GetDlgItem(id), &press);
    }

    // Whether the field, painted with `text` and the caret after its last digit, still shows its first
    // digit: the edit scrolls its text to the left when it is wider than the field.
    bool ShowsWhole(int id, const QString& text) const {
        QLineEdit* edit = Edit(id);
        edit->setText(text);
        edit->end(false);
        edit->grab(); // the edit works out its scrolling when it paints
        return edit->cursorPositionAt(QPoint(edit->contentsRect().left() + 1, edit->height() / 2)) == 0;
    }

    // Checks, in each built-in and shipped language, that every button, radio button and check box shows
    // its whole text, measured against the part of the control the style gives the text.
    void ExpectControlTextsFit() const {
        CMultiLanguage catalogue;
        catalogue.ProvideBuiltInLanguages();
        EXPECT_TRUE(ProvideShippedLanguages(m_appFolder.path()));
        QStringList languages;
        catalogue.GetLanguageList(languages);
        EXPECT_EQ(languages.size(), 3 + ShippedLanguageFiles().size());
        for (const QString& language : languages) {
            m_page->ApplyLanguage(language);
            for (QAbstractButton* button : m_page->template findChildren<QAbstractButton*>()) {
                QStyleOptionButton option;
                option.initFrom(button);
                option.rect = button->rect();
                const auto element = qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                     : qobject_cast<QCheckBox*>(button) ? QStyle::SE_CheckBoxContents
                                                                        : QStyle::SE_PushButtonContents;
                const QRect room = button->style()->subElementRect(element, &option, button);
                const QFontMetrics metrics(button->font());
                const QString text = QString(button->text()).remove(u'&');
                EXPECT_LE(metrics.horizontalAdvance(text), room.width()) << qPrintable(language + u' ' + text);
                EXPECT_LE(metrics.tightBoundingRect(text).height(), room.height()) << qPrintable(language + u' ' + text);
            }
        }
    }

    QTemporaryDir m_appFolder;
    std::unique_ptr<TPage> m_page;
};
