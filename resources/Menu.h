#pragma once

// Menu 137 of the main window as stored: "File(&F)" with Read/Write, Mass Production, a
// separator and Exit, then "Help(&H)" with About. The Language popup is added at run time.
void RegisterMainMenu();
