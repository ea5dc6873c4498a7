#include <cstdarg>

#include "../common/resource_text.h"
#include "../common/text.h"
#include "resource.h"
#include "ui_state.h"

HINSTANCE g_uiInstance = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_uiInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

int UiMessage(HWND owner, UINT icon, UINT textId, ...) {
    WCHAR caption[41], formatted[vesk::kFormattedChars];
    if (LoadStringW(g_uiInstance, IDS_CAPTION, caption, 41) <= 0) return 0;
    va_list args;
    va_start(args, textId);
    // The message keeps 519 characters of what the format makes.
    bool loaded = vesk::FormatResourceText(g_uiInstance, textId, args, 519, formatted);
    va_end(args);
    if (!loaded) return 0;
    return MessageBoxW(owner, formatted, caption, icon | MB_OK);
}

int UiSystemError(HWND owner, DWORD code) {
    LPWSTR text = nullptr;
    if (!FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                            FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr))
        return 0;
    WCHAR caption[261];
    if (LoadStringW(g_uiInstance, IDS_CAPTION, caption, 261) <= 0) caption[0] = 0;
    int result = MessageBoxW(owner, text, caption, MB_ICONHAND | MB_OK);
    LocalFree(text);
    return result;
}

LPWSTR CopyText(LPCWSTR text) {
    DWORD bytes = (vesk::Length(text) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, bytes));
    if (copy) CopyMemory(copy, text, bytes);
    return copy;
}
