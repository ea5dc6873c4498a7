// The private NONSPOOLED_ DOS name of a COM port. The spooler may redirect COMn to its own
// pipe; the settings commands must talk to the serial driver itself, so they define a DOS
// name of their own that points at the driver's device and open that.
#include "serial.h"

#include "../common/text.h"
#include "../common/win_raii.h"

namespace {

// The COM name without a trailing colon, or false when it does not fit.
bool BareName(LPCTSTR comName, TCHAR (&bare)[kDosNameChars]) {
    if (!vesk::CopyBounded(bare, kDosNameChars, comName)) return false;
    vesk::RemoveTrailingColon(bare);
    return true;
}

DWORD BuildWithPrefix(LPCTSTR prefix, LPCTSTR comName, LPTSTR out, DWORD outChars) {
    TCHAR bare[kDosNameChars];
    if (!BareName(comName, bare)) {
        if (out && outChars) out[0] = 0;
        return ERROR_BUFFER_OVERFLOW;
    }
    return vesk::ConcatBounded<TCHAR>(out, outChars, {prefix, bare});
}

}  // namespace

DWORD BuildNonspooledName(LPCTSTR comName, LPTSTR out, DWORD outChars) {
    return BuildWithPrefix(_T("NONSPOOLED_"), comName, out, outChars);
}

DWORD BuildNonspooledPath(LPCTSTR comName, LPTSTR out, DWORD outChars) {
    return BuildWithPrefix(_T("\\\\.\\NONSPOOLED_"), comName, out, outChars);
}

DWORD BuildSpoolerPipeName(LPCTSTR comName, LPTSTR out, DWORD outChars) {
    return BuildWithPrefix(_T("\\Device\\NamedPipe\\Spooler\\"), comName, out, outChars);
}

LPCTSTR ChooseDosTarget(LPCTSTR list, DWORD listChars, LPCTSTR exclude) {
    if (!list) return nullptr;
    DWORD pos = 0;
    while (pos < listChars && list[pos]) {
        DWORD end = pos;
        while (end < listChars && list[end]) ++end;
        if (end == listChars) return nullptr;  // last name not terminated inside the list
        if (!exclude || !vesk::EqualNoCase(list + pos, exclude)) return list + pos;
        pos = end + 1;
    }
    return nullptr;
}

BOOL RemoveNonspooledDefinition(LPCTSTR comName) {
    TCHAR name[kDosNameChars];
    if (BuildNonspooledName(comName, name, kDosNameChars) != 0) return FALSE;
    return DefineDosDevice(DDD_REMOVE_DEFINITION, name, nullptr);
}

HANDLE OpenNonspooledDevice(LPCTSTR comName, const NonspooledOpenOptions& options) {
    TCHAR bare[kDosNameChars];
    TCHAR pipe[kDosNameChars];
    TCHAR dosName[kDosNameChars];
    TCHAR path[kDosNameChars];
    if (!comName || !BareName(comName, bare) ||
        BuildSpoolerPipeName(bare, pipe, kDosNameChars) != 0 ||
        BuildNonspooledName(bare, dosName, kDosNameChars) != 0 ||
        BuildNonspooledPath(bare, path, kDosNameChars) != 0) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return INVALID_HANDLE_VALUE;
    }

    DWORD listChars = options.targetListChars;
    vesk::GlobalBlock listBlock(static_cast<SIZE_T>(listChars + 2) * sizeof(TCHAR));
    if (!listBlock) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    TCHAR* targets = listBlock.get<TCHAR>();
    DWORD got = QueryDosDevice(bare, targets, listChars);
    if (got == 0) return INVALID_HANDLE_VALUE;  // last error from the query
    if (got > listChars) got = listChars;

    HANDLE token = options.revert ? options.revert() : nullptr;
    LPCTSTR target = ChooseDosTarget(targets, got, pipe);
    BOOL defined = FALSE;
    DWORD defineError = ERROR_FILE_NOT_FOUND;
    if (target) {
        DefineDosDevice(DDD_REMOVE_DEFINITION, dosName, nullptr);
        defined = DefineDosDevice(DDD_RAW_TARGET_PATH, dosName, target);
        if (!defined) defineError = GetLastError();
    }
    if (options.restore) options.restore(token);
    if (!defined) {
        SetLastError(defineError);
        return INVALID_HANDLE_VALUE;
    }

    DWORD flags = FILE_ATTRIBUTE_NORMAL | options.extraFlags;
    if (options.overlapped) flags |= FILE_FLAG_OVERLAPPED;
    HANDLE h = CreateFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          OPEN_ALWAYS, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        RemoveNonspooledDefinition(bare);
        SetLastError(err);
    }
    return h;
}
