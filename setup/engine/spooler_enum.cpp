#include "spooler_enum.h"

#include <new>

#include "system_error_text.h"

namespace {

// The spooler says a buffer is too small with one code, the service manager with another.
bool IsShortBuffer(DWORD error) {
    return error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_MORE_DATA;
}

DWORD g_fault = 0;

}  // namespace

void SetEnumerationFault(DWORD error) {
    g_fault = error;
}

Enumeration Enumerate(const EnumerationCall& call) {
    Enumeration result;
    if (g_fault) {
        result.status = EnumerationStatus::Empty;
        result.sizeQueryFailed = true;
        result.error = g_fault;
        return result;
    }
    DWORD needed = 0, returned = 0;
    SetLastError(ERROR_SUCCESS);
    BOOL answered = call(nullptr, 0, &needed, &returned);
    if (needed == 0) {
        // Nothing to list (or the size query failed without a size): no buffer is asked for.
        result.status = EnumerationStatus::Empty;
        result.sizeQueryFailed = !answered;
        result.error = answered ? 0 : GetLastError();
        return result;
    }
    result.error = answered ? ERROR_SUCCESS : GetLastError();
    if (!answered && !IsShortBuffer(result.error)) {
        result.sizeQueryFailed = true;
        result.status = EnumerationStatus::Failed;
        if (!result.error) result.error = ERROR_GEN_FAILURE;
        return result;
    }
    for (int attempt = 0; attempt < kEnumerationAttempts; ++attempt) {
        try {
            result.data.assign(needed, 0);
        } catch (const std::bad_alloc&) {
            result.data.clear();
            result.status = EnumerationStatus::NoMemory;
            result.error = ERROR_OUTOFMEMORY;
            return result;
        }
        DWORD size = needed;
        needed = returned = 0;
        SetLastError(ERROR_SUCCESS);
        if (call(result.data.data(), size, &needed, &returned)) {
            result.status = EnumerationStatus::Listed;
            result.error = 0;
            result.count = returned;
            return result;
        }
        result.error = GetLastError();
        // Grown since the size was given: ask again with the size given now.
        if (!IsShortBuffer(result.error) || needed <= size) break;
    }
    result.data.clear();
    result.status = EnumerationStatus::Failed;
    // A failure must name a reason the user can be shown.
    if (!result.error) result.error = ERROR_GEN_FAILURE;
    return result;
}

bool ListUsable(const Enumeration& list) {
    if (list.status == EnumerationStatus::Listed) return true;
    if (list.status == EnumerationStatus::Empty && !list.sizeQueryFailed) return true;
    ShowSystemError(list.error ? list.error : ERROR_GEN_FAILURE);
    return false;
}
