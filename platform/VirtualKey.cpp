#include "platform/VirtualKey.h"

#include <QKeyEvent>

#include <unordered_map>

namespace VirtualKey {
namespace {

// Keys of the numeric keypad that have codes of their own there.
unsigned KeypadCode(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return VK_NUMPAD0 + unsigned(key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Asterisk:
        return VK_MULTIPLY;
    case Qt::Key_Plus:
        return VK_ADD;
    case Qt::Key_Comma:
        return VK_SEPARATOR;
    case Qt::Key_Minus:
        return VK_SUBTRACT;
    case Qt::Key_Period:
        return VK_DECIMAL;
    case Qt::Key_Slash:
        return VK_DIVIDE;
    default:
        return 0;
    }
}

// Symbols, each mapped to the US-layout key that types it (shifted or not).
unsigned SymbolCode(int key) {
    static const std::unordered_map<int, unsigned> symbols = {
        {Qt::Key_Exclam, '1'},        {Qt::Key_At, '2'},
        {Qt::Key_NumberSign, '3'},    {Qt::Key_Dollar, '4'},
        {Qt::Key_Percent, '5'},       {Qt::Key_AsciiCircum, '6'},
        {Qt::Key_Ampersand, '7'},     {Qt::Key_Asterisk, '8'},
        {Qt::Key_ParenLeft, '9'},     {Qt::Key_ParenRight, '0'},
        {Qt::Key_Semicolon, 0xBA},    {Qt::Key_Colon, 0xBA},
        {Qt::Key_Equal, 0xBB},        {Qt::Key_Plus, 0xBB},
        {Qt::Key_Comma, 0xBC},        {Qt::Key_Less, 0xBC},
        {Qt::Key_Minus, 0xBD},        {Qt::Key_Underscore, 0xBD},
        {Qt::Key_Period, 0xBE},       {Qt::Key_Greater, 0xBE},
        {Qt::Key_Slash, 0xBF},        {Qt::Key_Question, 0xBF},
        {Qt::Key_QuoteLeft, 0xC0},    {Qt::Key_AsciiTilde, 0xC0},
        {Qt::Key_BracketLeft, 0xDB},  {Qt::Key_BraceLeft, 0xDB},
        {Qt::Key_Backslash, 0xDC},    {Qt::Key_Bar, 0xDC},
        {Qt::Key_BracketRight, 0xDD}, {Qt::Key_BraceRight, 0xDD},
        {Qt::Key_Apostrophe, 0xDE},   {Qt::Key_QuoteDbl, 0xDE},
    };
    const auto found = symbols.find(key);
    return found == symbols.end() ? 0 : found->second;
}

// Editing, navigation, modifier, function and media keys.
unsigned SpecialCode(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + unsigned(key - Qt::Key_F1);
    static const std::unordered_map<int, unsigned> special = {
        {Qt::Key_Cancel, 0x03},        {Qt::Key_Backspace, VK_BACK},
        {Qt::Key_Tab, VK_TAB},         {Qt::Key_Backtab, VK_TAB},
        {Qt::Key_Clear, 0x0C},         {Qt::Key_Return, VK_RETURN},
        {Qt::Key_Enter, VK_RETURN},    {Qt::Key_Shift, VK_SHIFT},
        {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},
        {Qt::Key_AltGr, VK_MENU},      {Qt::Key_Pause, 0x13},
        {Qt::Key_CapsLock, 0x14},      {Qt::Key_Hangul, 0x15},
        {Qt::Key_Kana_Lock, 0x15},     {Qt::Key_Katakana, 0x15},
        {Qt::Key_Hiragana, 0x15},      {Qt::Key_Hiragana_Katakana, 0x15},
        {Qt::Key_Hangul_Jeonja, 0x17}, {Qt::Key_Hangul_Hanja, 0x19},
        {Qt::Key_Kanji, 0x19},         {Qt::Key_Escape, VK_ESCAPE},
        {Qt::Key_Henkan, 0x1C},        {Qt::Key_Muhenkan, 0x1D},
        {Qt::Key_Mode_switch, 0x1F},   {Qt::Key_Space, VK_SPACE},
        {Qt::Key_PageUp, 0x21},        {Qt::Key_PageDown, 0x22},
        {Qt::Key_End, 0x23},           {Qt::Key_Home, 0x24},
        {Qt::Key_Left, 0x25},          {Qt::Key_Up, 0x26},
        {Qt::Key_Right, 0x27},         {Qt::Key_Down, 0x28},
        {Qt::Key_Select, 0x29},        {Qt::Key_Printer, 0x2A},
        {Qt::Key_Execute, 0x2B},       {Qt::Key_Print, 0x2C},
        {Qt::Key_SysReq, 0x2C},        {Qt::Key_Insert, 0x2D},
        {Qt::Key_Delete, VK_DELETE},   {Qt::Key_Help, 0x2F},
        {Qt::Key_Meta, 0x5B},          {Qt::Key_Super_L, 0x5B},
        {Qt::Key_Super_R, 0x5C},       {Qt::Key_Menu, 0x5D},
        {Qt::Key_Sleep, 0x5F},         {Qt::Key_NumLock, 0x90},
        {Qt::Key_ScrollLock, 0x91},    {Qt::Key_Back, 0xA6},
        {Qt::Key_Forward, 0xA7},       {Qt::Key_Refresh, 0xA8},
        {Qt::Key_Stop, 0xA9},          {Qt::Key_Search, 0xAA},
        {Qt::Key_Favorites, 0xAB},     {Qt::Key_HomePage, 0xAC},
        {Qt::Key_VolumeMute, 0xAD},    {Qt::Key_VolumeDown, 0xAE},
        {Qt::Key_VolumeUp, 0xAF},      {Qt::Key_MediaNext, 0xB0},
        {Qt::Key_MediaPrevious, 0xB1}, {Qt::Key_MediaStop, 0xB2},
        {Qt::Key_MediaPlay, 0xB3},     {Qt::Key_MediaTogglePlayPause, 0xB3},
        {Qt::Key_LaunchMail, 0xB4},    {Qt::Key_LaunchMedia, 0xB5},
        {Qt::Key_Launch0, 0xB6},       {Qt::Key_Launch1, 0xB7},
        {Qt::Key_Play, 0xFA},          {Qt::Key_Zoom, 0xFB},
    };
    const auto found = special.find(key);
    return found == special.end() ? 0 : found->second;
}

} // namespace

unsigned FromKey(int key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (const unsigned code = KeypadCode(key))
            return code;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return unsigned(key);
    if (const unsigned code = SymbolCode(key))
        return code;
    return SpecialCode(key);
}

unsigned FromEvent(const QKeyEvent* event) {
    return event ? FromKey(event->key(), event->modifiers()) : 0;
}

} // namespace VirtualKey
