#include "pages/KeyFilter.h"

#include "platform/VirtualKey.h"
#include "cards/CardIdentifier.h"

#include <algorithm>

namespace KeyFilter {
namespace {

// The digit of a top-row or keypad digit key, or -1.
int DigitOfKey(unsigned vk) {
    if (vk >= '0' && vk <= '9')
        return int(vk - '0');
    if (vk >= VirtualKey::VK_NUMPAD0 && vk <= VirtualKey::VK_NUMPAD0 + 9)
        return int(vk - VirtualKey::VK_NUMPAD0);
    return -1;
}

// 10^exponent, empty when it does not fit in 64 bits.
std::optional<qint64> PowerOfTen(qsizetype exponent) {
    qint64 power = 1;
    for (qsizetype i = 0; i < exponent; ++i) {
        if (__builtin_mul_overflow(power, qint64(10), &power))
            return std::nullopt;
    }
    return power;
}

// factor * 10^exponent; a zero factor gives 0 however large the power would be.
std::optional<qint64> ScaledByPowerOfTen(qint64 factor, qsizetype exponent) {
    if (factor == 0)
        return 0;
    const std::optional<qint64> power = PowerOfTen(exponent);
    qint64 product = 0;
    if (!power || __builtin_mul_overflow(factor, *power, &product))
        return std::nullopt;
    return product;
}

bool IsCtrlEditingKey(unsigned vk) {
    return vk == 'C' || vk == 'V' || vk == 'X' || vk == 'Z';
}

} // namespace

bool IsExaminedKeyEvent(QEvent::Type type, Qt::KeyboardModifiers modifiers) {
    if (type == QEvent::KeyPress)
        return true;
    const bool menuKey = (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier);
    return type == QEvent::ShortcutOverride && !menuKey;
}

std::optional<qint64> ProspectiveValue(const QString& text, int selStart, int selEnd, int digit) {
    const int length = int(text.size());
    const int start = std::clamp(std::min(selStart, selEnd), 0, length);
    const int end = std::clamp(std::max(selStart, selEnd), 0, length);
    const QString right = text.mid(end);
    const qsizetype n = right.size();

    const std::optional<qint64> left = ScaledByPowerOfTen(DecimalToInt64(text.left(start)), n + 1);
    const std::optional<qint64> middle = ScaledByPowerOfTen(digit, n);
    qint64 value = 0;
    if (!left || !middle || __builtin_add_overflow(*left, *middle, &value) ||
        __builtin_add_overflow(value, DecimalToInt64(right), &value))
        return std::nullopt;
    return value;
}

bool IsRefusedKey(unsigned vk, bool ctrlDown) {
    const bool passes = (vk >= 0x01 && vk <= 0x40 && vk != VirtualKey::VK_SPACE) ||
                        (vk >= 0x5B && vk <= 0x69) || (vk >= 0x70 && vk <= 0xB9) ||
                        (vk >= 0xE5 && vk <= 0xFE);
    if (passes)
        return false;
    return !(ctrlDown && IsCtrlEditingKey(vk));
}

bool IsSwallowed(unsigned vk, bool ctrlDown, const QString& text, int selStart, int selEnd, quint64 limit) {
    const int digit = DigitOfKey(vk);
    if (digit < 0)
        return IsRefusedKey(vk, ctrlDown);
    const std::optional<qint64> value = ProspectiveValue(text, selStart, selEnd, digit);
    return !value || (*value > 0 && quint64(*value) > limit);
}

} // namespace KeyFilter
