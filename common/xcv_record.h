// The port settings record as it travels through the spooler's transceive channel between
// the port monitor's user interface and the monitor: the monitor's in-process record with
// the communications configuration carried inline instead of a pointer, and 32-bit handle
// fields on every architecture (window and kernel handle values are 32-bit significant).
// 72 bytes.
#pragma once

#include <windows.h>

#pragma pack(push, 4)
struct XcvPortSettings {
    WCHAR ComName[6];  // COM port without its colon, terminated
    DWORD hComm;       // the device token the monitor handed out for "SetVeskPrintSettings"
    DWORD hwndOwner;   // owner of the monitor's questions
    COMMCONFIG Config; // the line settings
};
#pragma pack(pop)

static_assert(sizeof(COMMCONFIG) == 52, "the record carries a 52-byte COMMCONFIG");
static_assert(sizeof(XcvPortSettings) == 72, "the transceive record is 72 bytes");

inline constexpr DWORD kXcvRecordSize = sizeof(XcvPortSettings);
// The value of hComm that means "no device".
inline constexpr DWORD kXcvNoDevice = 0xFFFFFFFF;

// The status of "SetVeskPortSettings" when the printer did not take the new settings (it
// could not be told them, did not switch, or answered at others afterwards; the stored
// settings are then unchanged), and the system error the dialogs show for it: the printer
// was not ready for the change.
inline constexpr DWORD kSettingsNotTaken = 1;
inline constexpr DWORD kSettingsNotTakenError = ERROR_NOT_READY;

// Transceive command names.
#define XCV_ADD_PORT L"AddPort"
#define XCV_DELETE_PORT L"DeletePort"
#define XCV_PORT_IS_VALID L"PortIsValid"
#define XCV_GET_SETTINGS L"GetVeskPortSettings"
#define XCV_GET_COM_PORTS L"GetVeskPortComPorts"
#define XCV_SET_PRINT_SETTINGS L"SetVeskPrintSettings"
#define XCV_SET_PORT_SETTINGS L"SetVeskPortSettings"
#define XCV_MONITOR_UI L"MonitorUI"
#define XCV_GET_DEFAULT_COMM_CONFIG L"GetDefaultCommConfig"
#define XCV_SET_DEFAULT_COMM_CONFIG L"SetDefaultCommConfig"
