#pragma once

// Helpers of the card pages' window tests: a page created on its own in a fresh application
// folder, and typing into its fields the way a person does.

#include "language/MultiLanguage.h"

#include <QKeyEvent>
#include <QLineEdit>
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

    QTemporaryDir m_appFolder;
    std::unique_ptr<TPage> m_page;
};
