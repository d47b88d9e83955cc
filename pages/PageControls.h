#pragma once

// What the two card pages share: their log texts, their large field font and the way they show a text.

#include "cards/CardIdentifier.h"

#include <QFont>
#include <QFontMetrics>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <initializer_list>

// Log lines of card operations start a new line and end with √ for success or × for failure.
inline const QString kLogReadSuccess = QStringLiteral("\r\nREAD CARD SUCCESS\u221A");
inline const QString kLogReadError = QStringLiteral("\r\nREAD CARD ERROR\u00D7");
inline const QString kLogWriteSuccess = QStringLiteral("\r\nWRITE CARD SUCCESS\u221A");
inline const QString kLogWriteError = QStringLiteral("\r\nWRITE CARD ERROR\u00D7");

// The failed-write line of a write refused before the reader was asked, with the reason after it, so
// that it is not taken for a reader failure.
inline QString RefusedWriteLine(NumberTextError error) {
    switch (error) {
    case NumberTextError::NotANumber:
        return kLogWriteError + QStringLiteral(" (not a number)");
    case NumberTextError::OutOfRange:
        return kLogWriteError + QStringLiteral(" (out of range)");
    case NumberTextError::None:
        break;
    }
    return kLogWriteError;
}

// The 24-point font of the page's fields and buttons, in the page's default face, set on each control.
inline QFont ApplyPageFont(const QWidget& page, std::initializer_list<QWidget*> controls) {
    QFont font(page.font().family());
    font.setPointSizeF(24.0);
    for (QWidget* control : controls) {
        if (control)
            control->setFont(font);
    }
    return font;
}

// A field and the widest text it accepts (its largest number, with every digit shown).
struct FieldWidest {
    QLineEdit* edit;
    QString widest;
};

// The width a line edit has for its text: inside its frame and the edit's own margin of 2 pixels a
// side, less one pixel for the caret after the last character.
int LineEditTextWidth(const QLineEdit& edit);

// The page font, narrowed (same face, same 24-point height) just enough that every field shows its
// widest text whole; the font is set again on every control that had the page font. The template
// rectangles were made for a narrower Windows face, in which these texts fit.
QFont FitPageFont(const QFont& pageFont, std::initializer_list<FieldWidest> fields,
                  std::initializer_list<QWidget*> controls);

// Sets an edit's text only when it differs, so an unchanged field keeps its caret and undo.
inline void ShowText(QLineEdit* edit, const QString& text) {
    if (edit && edit->text() != text)
        edit->setText(text);
}
