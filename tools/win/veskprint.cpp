// veskprint: prints a file RAW to a named printer through the spooler.
//   veskprint PRINTER FILE [DOCUMENT-NAME]
// Exit code 0 when the spooler took the whole job.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: veskprint PRINTER FILE [DOCUMENT-NAME]\n");
        return 2;
    }
    HANDLE file = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"veskprint: cannot read %ls (error %lu)\n", argv[2], GetLastError());
        return 1;
    }
    HANDLE printer = nullptr;
    if (!OpenPrinterW(argv[1], &printer, nullptr)) {
        std::fwprintf(stderr, L"veskprint: cannot open printer %ls (error %lu)\n", argv[1], GetLastError());
        CloseHandle(file);
        return 1;
    }
    DOC_INFO_1W doc{const_cast<LPWSTR>(argc > 3 ? argv[3] : L"receipt"), nullptr,
                    const_cast<LPWSTR>(L"RAW")};
    int status = 0;
    DWORD total = 0;
    if (!StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&doc))) {
        std::fwprintf(stderr, L"veskprint: StartDocPrinter failed (error %lu)\n", GetLastError());
        status = 1;
    } else {
        std::vector<BYTE> buf(65536);
        DWORD got = 0;
        while (status == 0 && ReadFile(file, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got) {
            DWORD written = 0;
            if (!WritePrinter(printer, buf.data(), got, &written) || written != got) {
                std::fwprintf(stderr, L"veskprint: WritePrinter failed (error %lu)\n", GetLastError());
                status = 1;
            }
            total += written;
        }
        if (!EndDocPrinter(printer)) {
            std::fwprintf(stderr, L"veskprint: EndDocPrinter failed (error %lu)\n", GetLastError());
            status = 1;
        }
    }
    ClosePrinter(printer);
    CloseHandle(file);
    if (status == 0) std::wprintf(L"veskprint: %lu bytes printed on %ls\n", total, argv[1]);
    return status;
}
