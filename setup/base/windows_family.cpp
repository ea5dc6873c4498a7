#include "windows_family.h"

namespace {

#ifdef _WIN64
constexpr char kNtEnvironment[] = "Windows x64";
#else
constexpr char kNtEnvironment[] = "Windows NT x86";
#endif
constexpr char kWin9xEnvironment[] = "Windows 4.0";

}  // namespace

bool QueryWindowsVersion(OSVERSIONINFOA& version) {
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof(extended);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
        version = *reinterpret_cast<OSVERSIONINFOA*>(&extended);
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        return true;
    }
    // Systems before Windows NT 4 SP6 and Windows 98 know only the basic record.
    version = OSVERSIONINFOA{};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(&version) != FALSE;
#pragma GCC diagnostic pop
}

int WindowsFamily() {
    OSVERSIONINFOA version;
    if (!QueryWindowsVersion(version)) return kOtherFamily;
    if (version.dwPlatformId < VER_PLATFORM_WIN32_NT) return kWin98Family;
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return kOtherFamily;
    return version.dwMajorVersion < 5 ? kNT4Family : kWin2000Family;
}

std::string SpoolerEnvironment() {
    OSVERSIONINFOA version;
    if (!QueryWindowsVersion(version)) return "";
    if (version.dwPlatformId < VER_PLATFORM_WIN32_NT) return kWin9xEnvironment;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return kNtEnvironment;
    return "";
}
