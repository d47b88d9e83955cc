#pragma once

#include <Qt>

class QKeyEvent;

// Windows virtual-key codes of a key event, computed from the Qt key and its modifiers.
//
// The native virtual key of a Qt event is an X keysym on X11 and 0 in offscreen tests, so the
// code is derived from QKeyEvent::key() instead. Keys that Qt reports by the character they
// produce (symbols, shifted digits) map to the key that produces that character on the US
// layout, as Windows reports the physical key and not the character. The keypad is told apart
// only by Qt::KeypadModifier. A key without a Windows counterpart gives 0.
namespace VirtualKey {

constexpr unsigned VK_BACK = 0x08;
constexpr unsigned VK_TAB = 0x09;
constexpr unsigned VK_RETURN = 0x0D;
constexpr unsigned VK_SHIFT = 0x10;
constexpr unsigned VK_CONTROL = 0x11;
constexpr unsigned VK_MENU = 0x12;
constexpr unsigned VK_ESCAPE = 0x1B;
constexpr unsigned VK_SPACE = 0x20;
constexpr unsigned VK_DELETE = 0x2E;
constexpr unsigned VK_NUMPAD0 = 0x60;
constexpr unsigned VK_MULTIPLY = 0x6A;
constexpr unsigned VK_ADD = 0x6B;
constexpr unsigned VK_SEPARATOR = 0x6C;
constexpr unsigned VK_SUBTRACT = 0x6D;
constexpr unsigned VK_DECIMAL = 0x6E;
constexpr unsigned VK_DIVIDE = 0x6F;
constexpr unsigned VK_F1 = 0x70;
constexpr unsigned VK_OEM_MINUS = 0xBD;

unsigned FromKey(int key, Qt::KeyboardModifiers modifiers);
unsigned FromEvent(const QKeyEvent* event);

} // namespace VirtualKey
