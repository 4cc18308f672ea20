#include "Autostart.h"

namespace tapwire {

namespace {

std::uint32_t WithView(std::uint32_t access, bool wow64)
{
    return wow64 ? access | kKeyWow64_64Key : access;
}

} // namespace

std::u16string RunValueForPath(const std::u16string& exePath)
{
    return u"\"" + exePath + u"\"";
}

int IsAutostartRegistered(RunKey& key, bool wow64, const std::u16string& exePath, AutostartMessage& message)
{
    message = AutostartMessage::kNone;
    if (key.Open(false, WithView(kKeyQueryValue, wow64)) != kErrorSuccess) {
        message = AutostartMessage::kReadError;
        return 1;
    }
    std::u16string value;
    const long result = key.QueryValue(value);
    key.Close();
    // A missing or unreadable value does not switch the option off.
    if (result != kErrorSuccess)
        return 1;
    return value == exePath || value == RunValueForPath(exePath) ? 1 : 0;
}

bool ToggleAutostart(RunKey& key, bool wow64, bool userRequest, const std::u16string& exePath, bool& bootRun,
                     AutostartMessage& message)
{
    message = AutostartMessage::kNone;
    const long result = key.Open(true, WithView(kKeyAllAccess, wow64));
    if (result != kErrorSuccess) {
        if (result == kErrorAccessDenied && userRequest)
            message = AutostartMessage::kAccessDeniedJapanese;
        return false;
    }
    // The flag follows the request once the key is open.
    if (!bootRun)
        key.SetValue(RunValueForPath(exePath));
    else
        key.DeleteValue();
    bootRun = !bootRun;
    key.Close();
    return true;
}

int RemoveAutostart(RunKey& key, bool wow64, int language, AutostartMessage& message)
{
    message = AutostartMessage::kNone;
    const long result = key.Open(true, WithView(kKeyAllAccess, wow64));
    if (result != kErrorSuccess) {
        if (result == kErrorAccessDenied) {
            switch (language) {
            case 1: message = AutostartMessage::kAccessDeniedEnglish; break;
            case 2: message = AutostartMessage::kAccessDeniedChinese; break;
            case 3: message = AutostartMessage::kAccessDeniedJapanese; break;
            default: break;
            }
        }
        return 0;
    }
    key.Close();
    // The value is deleted through a second open for writing in the 64-bit view.
    if (key.Open(false, kKeyWrite | kKeyWow64_64Key) == kErrorSuccess) {
        key.DeleteValue();
        key.Close();
    }
    return 1;
}

} // namespace tapwire
