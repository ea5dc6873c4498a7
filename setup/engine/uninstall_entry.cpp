#include "uninstall_entry.h"

#include "file_version.h"
#include "medium_snapshot.h"
#include "setup_copy.h"
#include "start_up.h"
#include "system_error_text.h"

namespace {

// A function of a system library already loaded in the process, looked up at run time: the
// earlier Windows the code keeps working on lack it.
template <class Call>
Call SystemCall(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    return module ? reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

// The files below `folder`, in bytes, at most `depth` folders further down.
ULONGLONG FolderBytes(const std::wstring& folder, int depth) {
    ULONGLONG bytes = 0;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        // A link would count what lies elsewhere, or count a folder twice.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth < kMaxMediumDepth) bytes += FolderBytes(folder + name + L"\\", depth + 1);
        } else {
            bytes += (ULONGLONG(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return bytes;
}

LONG SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG SetNumber(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number);
}

}  // namespace

REGSAM UninstallKeyView() {
#ifdef _WIN64
    return KEY_WOW64_64KEY;
#else
    // A 32-bit program sees the 64-bit view only with the flag, and only 64-bit Windows,
    // which runs it under WOW64, has that view.
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = SystemCall<IsWow64>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

std::wstring UninstallCommand(const std::wstring& program, const wchar_t* arguments) {
    return L"\"" + program + L"\" " + arguments;
}

DWORD FolderSizeKiB(const std::wstring& folder) {
    ULONGLONG kib = (FolderBytes(folder, 0) + 1023) / 1024;
    return kib > MAXDWORD ? MAXDWORD : static_cast<DWORD>(kib);
}

bool RegisterProduct() {
    const std::wstring folder = SetupCopyFolder(), program = SetupCopyProgram();
    if (folder.empty()) {
        ShowSystemError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    HKEY key;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0,
                                  KEY_SET_VALUE | UninstallKeyView(), nullptr,
                                  &key, nullptr);
    if (status != ERROR_SUCCESS) {
        ShowSystemError(static_cast<DWORD>(status));
        return false;
    }
    LONG failed = ERROR_SUCCESS;
    auto keep = [&](LONG result) {
        if (failed == ERROR_SUCCESS) failed = result;
    };
    keep(SetText(key, L"DisplayName", kProductDisplayName));
    // A copy without a version says none rather than a made-up one.
    if (ULONGLONG version = FileVersion(program))
        keep(SetText(key, L"DisplayVersion", FromAnsi(VersionText(version))));
    else
        RegDeleteValueW(key, L"DisplayVersion");
    keep(SetText(key, L"Publisher", kProductPublisher));
    keep(SetText(key, L"InstallLocation", folder));
    keep(SetText(key, L"UninstallString", UninstallCommand(program, kUninstallArguments)));
    keep(SetText(key, L"QuietUninstallString", UninstallCommand(program, kQuietUninstallArguments)));
    keep(SetNumber(key, L"NoModify", 1));
    keep(SetNumber(key, L"NoRepair", 1));
    keep(SetNumber(key, L"EstimatedSize", FolderSizeKiB(folder)));
    RegCloseKey(key);
    if (failed != ERROR_SUCCESS) {
        ShowSystemError(static_cast<DWORD>(failed));
        return false;
    }
    return true;
}

bool UnregisterProduct(DWORD& error) {
    REGSAM view = UninstallKeyView();
    LONG status;
    // Only the call with a view reaches the 64-bit key from the 32-bit build; Windows without
    // two views lack that call.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    auto deleteKeyEx = view ? SystemCall<DeleteKeyEx>(L"advapi32.dll", "RegDeleteKeyExW") : nullptr;
    if (deleteKeyEx)
        status = deleteKeyEx(HKEY_LOCAL_MACHINE, kUninstallKey, view, 0);
    else
        status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    error = status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<DWORD>(status);
    return error == ERROR_SUCCESS;
}
