#include "resources/Menu.h"

#include "platform/DialogTemplate.h"
#include "resources/DialogTemplates.h"

namespace {

MenuTemplate MainMenu() {
    MenuTemplate m;
    m.number = IDR_MENU_MAIN;
    m.popups = {
        {0,
         QStringLiteral("File(&F)"),
         {
             {ID_MENU_READWRITE, QStringLiteral("Read/Write"), {}},
             {ID_MENU_MASSPRODUCTION, QStringLiteral("Mass Production"), {}},
             {0, QString(), {}},
             {ID_MENU_EXIT, QStringLiteral("Exit(&X)"), {}},
         }},
        {0, QStringLiteral("Help(&H)"), {{ID_MENU_ABOUT, QStringLiteral("About(&A)"), {}}}},
    };
    return m;
}

} // namespace

void RegisterMainMenu() {
    RegisterMenuTemplate(MainMenu());
}
