#pragma once

#include <QEvent>
#include <QString>
#include <QtGlobal>

#include <optional>

// The key decisions of the number fields of both card pages. They judge Windows virtual-key
// codes of key-down messages (platform/VirtualKey.h), not characters.
namespace KeyFilter {

// Whether the pages examine a key event at all: key presses, and the shortcut check that comes
// before each of them. A shortcut check with Alt held (without Ctrl, which would make it AltGr)
// belongs to the window's menus, so it is left alone and menu mnemonics keep working.
bool IsExaminedKeyEvent(QEvent::Type type, Qt::KeyboardModifiers modifiers);

// The value the field's text would have after typing `digit` over the selection [selStart,
// selEnd): value(left) * 10^(n+1) + digit * 10^n + value(right), where n is the number of
// characters after the selection and value is the decimal conversion. Empty when the value
// does not fit in 64 bits.
std::optional<qint64> ProspectiveValue(const QString& text, int selStart, int selEnd, int digit);

// Whether a key is one that never reaches a number field: space, letters, keypad operators,
// punctuation and codes without a key, unless it is Ctrl+C, V, X or Z.
bool IsRefusedKey(unsigned vk, bool ctrlDown);

// Whether a key-down aimed at a number field whose value may not exceed `limit` is swallowed:
// a digit when the prospective value exceeds the limit (or does not fit in 64 bits), any other
// key when it is refused.
bool IsSwallowed(unsigned vk, bool ctrlDown, const QString& text, int selStart, int selEnd, quint64 limit);

} // namespace KeyFilter
