#include "cards/NumberForms.h"

#include "cards/CardFrame.h"

#include <QStringList>

namespace {

// Exactly `digits` digits of value (which fits in them), leading zeros included, upper-case in hex.
template <unsigned Base = 10>
char* WriteDigits(std::uint64_t value, int digits, char* out) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value % Base];
        value /= Base;
    }
    return out + digits;
}

// Two groups of digits with a comma between, as printed for the Wiegand and 5.5 forms.
char* WritePair(std::uint64_t high, int highDigits, std::uint64_t low, int lowDigits, char* out) {
    out = WriteDigits(high, highDigits, out);
    *out++ = ',';
    return WriteDigits(low, lowDigits, out);
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

char* WriteNumberForm(NumberForm form, std::uint64_t cardId, char* out) {
    const std::uint64_t id = cardId & MAX_IDENTIFIER;
    switch (form) {
    case FORM_HEX:
        return WriteDigits<16>(id, 10, out);
    case FORM_DEZ10:
        return WriteDigits(id & 0xFFFFFFFFu, 10, out);
    case FORM_DEZ8:
        return WriteDigits(id & 0xFFFFFFu, 8, out);
    case FORM_W26:
        return WritePair((id >> 16) & 0xFFu, 3, id & 0xFFFFu, 5, out);
    case FORM_5_5:
        return WritePair((id >> 16) & 0xFFFFu, 5, id & 0xFFFFu, 5, out);
    }
    return out;
}

QString NumberFormText(NumberForm form, std::uint64_t cardId) {
    char text[NUMBER_FORM_MAX_LENGTH];
    const char* end = WriteNumberForm(form, cardId, text);
    return QString::fromLatin1(text, end - text);
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
