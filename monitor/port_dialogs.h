// The spooler's add, configure and delete port entry points, with the monitor's own
// dialogs: 201 "Port Name" and 200 "Configure VESK Port".
#pragma once

#include <windows.h>

#include "port_list.h"

BOOL WINAPI VeskAddPort(LPWSTR serverName, HWND owner, LPWSTR monitorName);
BOOL WINAPI VeskxAddPortEx(LPWSTR serverName, DWORD level, LPBYTE portInfo, LPWSTR monitorName);
BOOL VeskAddPortEx(PortList* list, LPWSTR serverName, DWORD level, LPBYTE portInfo,
                   LPWSTR monitorName);
BOOL WINAPI VeskConfigurePort(LPWSTR serverName, HWND owner, LPWSTR portName);
BOOL WINAPI VeskDeletePort(LPWSTR serverName, HWND owner, LPWSTR portName);

// Asks for a port name (dialog 201); a copy in global memory, or null when cancelled.
LPWSTR GetPortName(HWND owner);
// Runs dialog 200.
BOOL ConfigVeskPort(HWND owner, LPWSTR serverName, LPWSTR portName);

// A message from the string table (text formatted with the arguments); the box's result,
// or 0 when a string cannot be loaded.
int VeskMessage(HWND owner, UINT type, UINT captionId, UINT textId, ...);
// The system's text for `code` with the monitor's caption and a stop icon.
int ErrorMessage(HWND owner, DWORD code);
// A copy of the system's text for `code` in global memory, or null.
LPWSTR GetErrorMessage(DWORD code);

// The baud-rate change as the user sees it ("&Configure COM"), owned by `dialog`.
void ChangeBaudRate(HWND dialog);
