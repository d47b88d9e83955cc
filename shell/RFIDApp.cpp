#include "shell/RFIDApp.h"

#include "language/MultiLanguage.h"
#include "platform/AppFolder.h"
#include "platform/AppProfile.h"
#include "platform/DataFolder.h"
#include "shell/RFIDDlg.h"

CRFIDApp theApp;

bool CRFIDApp::InitInstance() {
    // Qt's widgets need no class registration and the toolkit has no ActiveX hosting, so the
    // preparation is the profile's location alone: <registry key>/<executable name>.
    SetRegistryKey(QString::fromLatin1(kDefaultRegistryKey));

    // "setting.ini" and the language files live beside the executable. An installed program cannot
    // write there, so it could neither remember the language nor write out its language files; it
    // keeps them in the user's data folder instead.
    const QString executableFolder = ExecutableFolder();
    if (!executableFolder.isEmpty())
        CMultiLanguage::SetDefaultAppFolder(ResolveDataFolder(executableFolder));

    {
        // Destroying the window closes the reader handle and lets the splitters store their
        // positions.
        CRFIDDlg dlg;
        dlg.DoModal();
    }
    return false;
}
