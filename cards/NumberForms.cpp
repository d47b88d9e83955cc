#include "cards/NumberForms.h"

#include "cards/CardFrame.h"

#include <QStringList>

namespace {

QString Padded(std::uint64_t value, int digits, int base = 10) {
    return QString::number(value, base).toUpper().rightJustified(digits, u'0');
}

// Two groups of digits with a comma between, as printed for the Wiegand and 5.5 forms.
QString Pair(std::uint64_t high, int highDigits, std::uint64_t low, int lowDigits) {
    return Padded(high, highDigits) + u',' + Padded(low, lowDigits);
}

} // namespace

QString NumberFormName(NumberForm form) {
    switch (form) {
    case FORM_HEX:
        return QStringLiteral("HEX");
    case FORM_DEZ10:
        return QStringLiteral("DEZ10");
    case FORM_DEZ8:
        return QStringLiteral("DEZ8");
    case FORM_W26:
        return QStringLiteral("W26");
    case FORM_5_5:
        return QStringLiteral("5.5");
    }
    return QString();
}

QString NumberFormText(NumberForm form, std::uint64_t cardId) {
    const std::uint64_t id = cardId & MAX_IDENTIFIER;
    switch (form) {
    case FORM_HEX:
        return Padded(id, 10, 16);
    case FORM_DEZ10:
        return Padded(id & 0xFFFFFFFFu, 10);
    case FORM_DEZ8:
        return Padded(id & 0xFFFFFFu, 8);
    case FORM_W26:
        return Pair((id >> 16) & 0xFFu, 3, id & 0xFFFFu, 5);
    case FORM_5_5:
        return Pair((id >> 16) & 0xFFFFu, 5, id & 0xFFFFu, 5);
    }
    return QString();
}

QString NumberFormsLine(NumberFormSet forms, std::uint64_t cardId) {
    QStringList parts;
    for (NumberForm form : ALL_NUMBER_FORMS) {
        if (forms & form)
            parts << NumberFormName(form) + u' ' + NumberFormText(form, cardId);
    }
    return parts.join(QStringLiteral("  "));
}

QString NumberFormsToText(NumberFormSet forms) {
    QStringList names;
    for (NumberForm form : ALL_NUMBER_FORMS) {
        if (forms & form)
            names << NumberFormName(form);
    }
    return names.join(u',');
}

NumberFormSet NumberFormsFromText(const QString& text) {
    NumberFormSet forms = 0;
    for (const QString& name : text.split(u',')) {
        for (NumberForm form : ALL_NUMBER_FORMS) {
            if (name.trimmed().compare(NumberFormName(form), Qt::CaseInsensitive) == 0)
                forms |= form;
        }
    }
    return forms;
}

std::optional<NumberFormSet> NumberFormsFromOption(const QString& word) {
    if (word.compare(QStringLiteral("all"), Qt::CaseInsensitive) == 0)
        return NUMBER_FORMS_ALL;
    // The Wiegand 26 form is also known by its digit groups.
    if (word == QStringLiteral("3.5"))
        return FORM_W26;
    for (NumberForm form : ALL_NUMBER_FORMS) {
        if (word.compare(NumberFormName(form), Qt::CaseInsensitive) == 0)
            return form;
    }
    return std::nullopt;
}
