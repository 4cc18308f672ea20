#pragma once

// Everything of the installer that touches spdlog includes it through this
// header, so every translation unit agrees on the settings below.

// Records end in CR LF. That is spdlog's own default on Windows; stating it
// here gives the platform-free builds (and their tests) the same bytes.
#ifndef SPDLOG_EOL
#define SPDLOG_EOL "\r\n"
#endif

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <string>
#include <string_view>

// The registry key by which every writer finds the install log.
inline constexpr char kInstallLoggerName[] = "driver_install_info";

// Appended to the install folder to give the log file's path.
inline constexpr char kLogFileSuffix[] = "\\logs\\Pelk_Ostra_Driver_NoSign_Log.txt";

// Writes message verbatim through the install log, looked up in spdlog's
// registry by its name for this one record; does nothing when no log is
// registered.
void LogByName(std::string_view message);
