// A library planted beside setup.exe under the name of a system library, as an attacker would
// plant it in a download folder: when loaded, it leaves "<its own path>.loaded" behind.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    WCHAR path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    lstrcpyW(path + n, L".loaded");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    return TRUE;
}
