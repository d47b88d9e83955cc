#include "shell/RFIDApp.h"

#include "platform/AppProfile.h"
#include "shell/RFIDDlg.h"

CRFIDApp theApp;

bool CRFIDApp::InitInstance() {
    // Qt's widgets need no class registration and the toolkit has no ActiveX hosting, so the
    // preparation is the profile's location alone: <registry key>/<executable name>.
    SetRegistryKey(QString::fromLatin1(kDefaultRegistryKey));

    {
        // Destroying the window closes the reader handle and lets the splitters store their
        // positions.
        CRFIDDlg dlg;
        dlg.DoModal();
    }
    return false;
}
