#pragma once

// CRFIDApp: the application object. It points the application profile at its registry key,
// runs the main window as a modal dialog and ends the program when that dialog ends; the
// program has no message loop of its own and no command line.
class CRFIDApp {
public:
    // Runs the whole program. Returns false, so that the program ends as soon as the main window
    // has ended.
    bool InitInstance();
};

// The one application object.
extern CRFIDApp theApp;
