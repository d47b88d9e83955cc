#include "platform/DialogTemplate.h"

#include <map>

namespace {

// Function-local statics: resources register their templates from static initialisers, whose
// order relative to this file is not defined.
std::map<int, DialogTemplate>& DialogRegistry() {
    static std::map<int, DialogTemplate> registry;
    return registry;
}

std::map<int, MenuTemplate>& MenuRegistry() {
    static std::map<int, MenuTemplate> registry;
    return registry;
}

} // namespace

int DialogUnitsToPixelsX(int du) {
    return du * 6 / 4;
}

int DialogUnitsToPixelsY(int du) {
    return du * 13 / 8;
}

QRect MapDialogRect(const QRect& duRect) {
    const int left = DialogUnitsToPixelsX(duRect.x());
    const int top = DialogUnitsToPixelsY(duRect.y());
    const int right = DialogUnitsToPixelsX(duRect.x() + duRect.width());
    const int bottom = DialogUnitsToPixelsY(duRect.y() + duRect.height());
    return QRect(left, top, right - left, bottom - top);
}

QSize MapDialogSize(const QSize& duSize) {
    return QSize(DialogUnitsToPixelsX(duSize.width()), DialogUnitsToPixelsY(duSize.height()));
}

void RegisterDialogTemplate(const DialogTemplate& dialogTemplate) {
    DialogRegistry()[dialogTemplate.number] = dialogTemplate;
}

const DialogTemplate* FindDialogTemplate(int number) {
    const auto& registry = DialogRegistry();
    const auto it = registry.find(number);
    return it == registry.end() ? nullptr : &it->second;
}

void RegisterMenuTemplate(const MenuTemplate& menuTemplate) {
    MenuRegistry()[menuTemplate.number] = menuTemplate;
}

const MenuTemplate* FindMenuTemplate(int number) {
    const auto& registry = MenuRegistry();
    const auto it = registry.find(number);
    return it == registry.end() ? nullptr : &it->second;
}
