#include "InstallLog.h"

void LogByName(std::string_view message)
{
    // The handle is held only for this one record: the registry keeps the
    // logger alive until drop_all at the end of the run.
    if (std::shared_ptr<spdlog::logger> log = spdlog::get(kInstallLoggerName))
        log->info(message);
}
