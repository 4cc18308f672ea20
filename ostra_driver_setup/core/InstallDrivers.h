#pragma once

#include "InstallerPlatform.h"

#include <string>

// InstallDrivers' result when the log could not be opened: nothing was done.
inline constexpr int kInstallNoLog = 1;

// The whole install pass: opens the install log, copies the files of the
// version plan, patches an existing modem INF and pre-installs the vendor
// INF. Returns 0 when the pass ran, kInstallNoLog when it could not start.
int InstallDrivers(CInstallerPlatform& platform);

// Pre-installs the vendor INF into the driver store. Returns 1 when it is
// installed or was there already, else 0.
int PreinstallVendorInf(const std::string& infPath, CInstallerPlatform& platform);

// The program's run from start to end; returns the process exit code: 0 for
// a completed run whatever its steps gave, 1 when it could not run.
int RunInstaller(CInstallerPlatform& platform) noexcept;
