#include "spooler_setup.h"

#include <winspool.h>

namespace vesk {

bool RegisterMonitor(const std::wstring& binDir, DWORD& error) {
    wchar_t sys[MAX_PATH];
    GetSystemDirectoryW(sys, MAX_PATH);
    std::wstring from = binDir + L"veskmon.dll";
    std::wstring to = std::wstring(sys) + L"\\veskmon.dll";
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        error = GetLastError();
        return false;
    }
    MONITOR_INFO_2W info{};
    info.pName = const_cast<LPWSTR>(kMonitorName);
    info.pDLLName = const_cast<LPWSTR>(L"veskmon.dll");
    if (!AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)) &&
        GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
        error = GetLastError();
        return false;
    }
    // Wine finds a port's monitor only through the port keys the monitor writes when it is
    // loaded; listing the ports loads it, so that its ports of the profile as it is now can be
    // opened by name (a monitor that was registered before loads only when asked).
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &count);
    return true;
}

bool EnsurePrinter(const wchar_t* name, const wchar_t* port, DWORD& error) {
    HANDLE existing = nullptr;
    if (OpenPrinterW(const_cast<LPWSTR>(name), &existing, nullptr)) {
        ClosePrinter(existing);
        return true;
    }
    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<LPWSTR>(kTestDriverName);
    driver.pDriverPath = const_cast<LPWSTR>(L"UNIDRV.DLL");
    driver.pDataFile = const_cast<LPWSTR>(L"Kx120.gpd");
    driver.pConfigFile = const_cast<LPWSTR>(L"UNIDRVUI.DLL");
    driver.pDefaultDataType = const_cast<LPWSTR>(L"RAW");
    AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver));

    PRINTER_INFO_2W info{};
    info.pPrinterName = const_cast<LPWSTR>(name);
    info.pPortName = const_cast<LPWSTR>(port);
    info.pDriverName = const_cast<LPWSTR>(kTestDriverName);
    info.pPrintProcessor = const_cast<LPWSTR>(L"winprint");
    info.pDatatype = const_cast<LPWSTR>(L"RAW");
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!printer) {
        error = GetLastError();
        return false;
    }
    ClosePrinter(printer);
    return true;
}

void RemovePrinter(const wchar_t* name) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterW(const_cast<LPWSTR>(name), &printer, &access)) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
}

}  // namespace vesk
