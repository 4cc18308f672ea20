// ostra_driver_setup: prepares the system for the scanners' USB-to-UART
// serial port and records every step in logs\Pelk_Ostra_Driver_NoSign_Log.txt
// beside itself. No window, no console, no options.

#include "InstallDrivers.h"
#include "SystemLibrary.h"
#include "Win32InstallerPlatform.h"

int main()
{
    // Before anything else can load a DLL: see SystemLibrary.h.
    RestrictDllSearchToSystem32();
    CWin32InstallerPlatform platform;
    return RunInstaller(platform);
}
