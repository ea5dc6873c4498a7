#include "printer_detection.h"

#include <vector>

#include "../../serial/serial.h"
#include "../../serial/settings.h"
#include "resource.h"
#include "string_table.h"
#include "system_error_text.h"
#include "windows_family.h"

namespace {

// The reader threads' stack.
constexpr SIZE_T kReaderStackBytes = 16384;
// How long a stopped reader may take to end (its read is cancelled at once).
constexpr DWORD kReaderStopLimitMs = 5000;

const BYTE kWakeStatusRequest[] = {0x1D, 0x05};
constexpr BYTE kAwakeBit = 0x04;
const BYTE kSettingsQuery[] = {kPrinterCan, 0x1D, 0x49, 0x04};
const BYTE kStatusCommand[] = {0x1D, 0x49, 0x0F};
constexpr BYTE kChargerBit = 0x01;
const BYTE kSettingsChange[] = {0x1B, 0x58, 0x04};
const BYTE kSwitchCommand[] = {0x1B, 0x58, 0x0B, 0x00, 0x00};

std::string BareName(const char* comName) {
    std::string name(comName, strnlen(comName, sizeof(PrinterPortRecord::ComName)));
    if (!name.empty() && name.back() == ':') name.pop_back();
    return name;
}

bool WriteAll(HANDLE handle, const void* data, DWORD count) {
    DWORD written = 0;
    return WriteBuffer(handle, data, count, &written) && written == count;
}

// The wake-up's reader: ends with 0 at XON, or when the printer stays silent for the line's
// whole read time-out (it may be awake and simply have nothing to say: the settings query
// that follows tells); with 1 at any other byte, and with 2 when it was stopped.
struct WakeReader {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr;
};

DWORD WINAPI WakeReaderThread(void* parameter) {
    auto* reader = static_cast<WakeReader*>(parameter);
    BYTE answer = 0;
    DWORD got = 0;
    if (!ReadBufferOrStop(reader->handle, &answer, 1, &got, reader->stop)) return 2;
    if (got == 0 || answer == kPrinterXon) return 0;
    return 1;
}

}  // namespace

HANDLE OpenPrinterPort(const PrinterPortRecord& record, DWORD* blockSize) {
    std::string bare = BareName(record.ComName);
    int family = WindowsFamily();
    HANDLE handle = INVALID_HANDLE_VALUE;
    // The device is opened for overlapped I/O although every read and write here waits for
    // its end: on a handle opened without it, Windows lets only one request at a time reach
    // the device, and the wake-up's reader would hold back the bursts written beside it.
    if (family == kWin98Family) {
        handle = CreateFileA(bare.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS,
                             FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                             nullptr);
    } else if (family == kNT4Family || family == kWin2000Family) {
        // Past the spooler, which holds COMn for its own ports.
        NonspooledOpenOptions options;
        options.targetListChars = 260;
        options.extraFlags = FILE_FLAG_SEQUENTIAL_SCAN;
        handle = OpenNonspooledDevice(bare.c_str(), options);
    } else {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    if (handle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;

    if (!ConfigureLine(handle, record.Config.dcb, bare.c_str(), blockSize)) {
        CloseHandle(handle);
        if (family != kWin98Family) RemoveNonspooledDefinition(bare.c_str());
        ShowSystemError(ERROR_BUSY);
        SetLastError(ERROR_BUSY);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

BOOL WakePrinter(HANDLE handle, DWORD blockSize) {
    if (!WriteAll(handle, kWakeStatusRequest, sizeof kWakeStatusRequest)) return FALSE;
    BYTE status = 0;
    DWORD got = 0;
    if (!ReadBuffer(handle, &status, 1, &got)) return FALSE;
    if (got == 0) status = 0;

    if (!(status & kAwakeBit)) {
        // Asleep: zero blocks until the reader hears the printer.
        auto* reader = new WakeReader{handle, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        HANDLE thread = reader->stop ? CreateThread(nullptr, kReaderStackBytes, WakeReaderThread,
                                                    reader, 0, nullptr)
                                     : nullptr;
        if (!thread) {
            if (reader->stop) CloseHandle(reader->stop);
            delete reader;
            return FALSE;
        }
        std::vector<BYTE> block(blockSize, 0);
        DWORD start = GetTickCount();
        DWORD waited = WAIT_TIMEOUT;
        while (waited == WAIT_TIMEOUT && GetTickCount() - start < kWakeLimitMs) {
            DWORD written = 0;
            if (!block.empty()) WriteBuffer(handle, block.data(), blockSize, &written);
            waited = WaitForSingleObject(thread, kWakeBurstIntervalMs);
        }
        if (waited == WAIT_TIMEOUT) {
            SetEvent(reader->stop);
            waited = WaitForSingleObject(thread, kReaderStopLimitMs);
        }
        DWORD result = 2;
        if (waited == WAIT_OBJECT_0) GetExitCodeThread(thread, &result);
        CloseHandle(thread);
        // A reader that could not be stopped keeps its record; the device stays open for it.
        if (waited == WAIT_OBJECT_0) {
            CloseHandle(reader->stop);
            delete reader;
        }
        if (result != 0) {
            SetLastError(result == 1 ? ERROR_INVALID_ACCESS : ERROR_TIMEOUT);
            return FALSE;
        }
    }
    return WriteAll(handle, &kPrinterCan, 1);
}

BOOL QueryPrinterSettings(HANDLE handle, const DCB& dcb) {
    if (!WriteAll(handle, kSettingsQuery, sizeof kSettingsQuery)) return FALSE;
    char reply[kPrinterReplyBytes + 1] = {};
    DWORD got = 0;
    ReadBuffer(handle, reply, kPrinterReplyBytes, &got);
    if (got == 0) return FALSE;
    reply[got < kPrinterReplyBytes ? got : kPrinterReplyBytes] = 0;
    return IsDCB(&dcb, reply);
}

DWORD ProbePrinter(const PrinterPortRecord& record, HANDLE* handleOut, bool skipStatus) {
    DWORD blockSize = 0;
    HANDLE handle = OpenPrinterPort(record, &blockSize);
    if (handle == INVALID_HANDLE_VALUE) {
        // The open's error, which must not read as "answered" (0) or "no answer" (1).
        DWORD error = GetLastError();
        return error > 1 ? error : ERROR_GEN_FAILURE;
    }
    *handleOut = INVALID_HANDLE_VALUE;
    WakePrinter(handle, blockSize);
    if (!QueryPrinterSettings(handle, record.Config.dcb)) {
        CloseHandle(handle);
        return 1;
    }
    if (!skipStatus) {
        // The charger: a printer on its charger cannot change its settings.
        int silent = 0;
        for (;;) {
            BYTE status[kPrinterReplyBytes] = {};
            DWORD got = 0;
            // A reply too short to hold the charger's bit counts as none.
            if (!WriteAll(handle, kStatusCommand, sizeof kStatusCommand) ||
                !ReadBuffer(handle, status, kPrinterReplyBytes, &got) || got < 3) {
                if (++silent < kChargerTestAttempts) continue;
                CloseHandle(handle);
                return 1;
            }
            silent = 0;
            if (!(status[2] & kChargerBit)) break;
            if (EngineMessage(ResourceString(IDS_CHARGER_PRESENT), MB_OKCANCEL,
                              InstallQuestion::ChargerPresent) != IDOK) {
                CloseHandle(handle);
                return 1;
            }
            WakePrinter(handle, blockSize);
        }
    }
    *handleOut = handle;
    return 0;
}

DWORD StorePortSettings(PrinterPortRecord& record, std::string& text) {
    char settings[kSettingsTextChars];
    BuildCommDCBString(&record.Config.dcb, settings);
    std::string stored = BareName(record.ComName) + ":," + settings;
    if (stored.size() >= kStoredSettingsLength) stored.resize(kStoredSettingsLength - 1);

    HANDLE handle = PortHandle(record);
    bool open = handle != INVALID_HANDLE_VALUE && handle != nullptr;
    auto fail = [&]() -> DWORD {
        if (open) CloseHandle(handle);
        SetPortHandle(record, INVALID_HANDLE_VALUE);
        return 1;
    };
    if (open) {
        std::vector<BYTE> change(kSettingsChange, kSettingsChange + sizeof kSettingsChange);
        for (const char* c = settings; *c; ++c) change.push_back(static_cast<BYTE>(*c));
        DWORD written = 0;
        if (!WriteBuffer(handle, change.data(), static_cast<DWORD>(change.size()), &written) ||
            written == 0)
            return fail();
        if (!WriteAll(handle, kSwitchCommand, sizeof kSwitchCommand)) return fail();
        // The printer restarts at the new settings and says so with XOFF. Only then is the
        // profile changed: a printer that never answers leaves everything as it was.
        bool xoff = false;
        DWORD start = GetTickCount();
        while (!xoff && GetTickCount() - start < kStoreXoffLimitMs) {
            BYTE b = 0;
            DWORD got = 0;
            if (!ReadBuffer(handle, &b, 1, &got)) break;
            xoff = got == 1 && b == kPrinterXoff;
        }
        if (!xoff) return fail();
    }
    if (!WriteProfileStringA("Vesk Ports", "VESK", stored.c_str())) return fail();
    text = stored;
    if (open) CloseHandle(handle);
    SetPortHandle(record, INVALID_HANDLE_VALUE);
    return 0;
}
