#include <windows.h>

#include <cstdio>

#include "cli/system/system_info.h"

namespace {

typedef LONG(WINAPI* RtlGetVersionProc)(OSVERSIONINFOW*);
typedef const char*(CDECL* WineVersionProc)();

}  // namespace

// GetVersionEx tells a program without a manifest that it runs on Windows 8;
// ntdll tells the truth, and under Wine also which Wine.
std::string SystemDescription() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == NULL) return "Windows";
    std::string text = "Windows";
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    RtlGetVersionProc getVersion = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (getVersion != NULL && getVersion(&info) == 0) {
        char version[48];
        snprintf(version, sizeof version, " %lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion,
                 info.dwBuildNumber);
        text += version;
    }
    WineVersionProc wine = reinterpret_cast<WineVersionProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "wine_get_version")));
    if (wine != NULL) text += std::string(" (Wine ") + wine() + ")";
    return text;
}
