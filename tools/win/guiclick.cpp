// guiclick: works a program's dialogs with the mouse, as a person would, for the demo.
//   guiclick wait CAPTION           waits for the dialog, prints its screen rectangle
//   guiclick click CAPTION ID       clicks control ID (on the dialog or its visible page)
//   guiclick pick CAPTION ID TEXT   clicks the entry TEXT of list or combo box ID
//   guiclick type CAPTION ID TEXT   clicks into control ID and types TEXT key by key
//   guiclick gone CAPTION [SECONDS] waits until no such dialog is shown (10 s by default)
//   guiclick run PROGRAM [ARG]...   runs the program to its end (10 minutes at most), prints
//                                   its exit code (whole: a shell sees only its low byte),
//                                   the milliseconds it ran and whether it showed a window
// Exits 1 when a window or entry is not found within the wait.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../../common/visible_window.h"

namespace {

// How long `run` waits for a program: a whole installation on a slow machine.
constexpr DWORD kRunLimitMs = 600000;

constexpr DWORD kWaitMs = 10000;

struct Search {
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindTop(HWND hwnd, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    char text[256] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    if (IsWindowVisible(hwnd) && std::strcmp(text, search.caption) == 0) {
        search.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitFor(const char* caption) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(50)) {
        Search search{caption, nullptr};
        EnumWindows(&FindTop, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
    }
    std::fprintf(stderr, "guiclick: no window \"%s\"\n", caption);
    return nullptr;
}

struct ControlSearch {
    HWND dialog;
    int id;
    bool onPage;  // look only inside the dialog's pages (child dialogs), or only outside them
    HWND found;
};

BOOL CALLBACK FindControl(HWND hwnd, LPARAM context) {
    auto& search = *reinterpret_cast<ControlSearch*>(context);
    HWND parent = GetParent(hwnd);
    if (GetDlgCtrlID(hwnd) == search.id && IsWindowVisible(hwnd) && IsWindowVisible(parent) &&
        (parent != search.dialog) == search.onPage) {
        search.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The visible control of that id on the dialog's visible page, else on the dialog itself:
// a wizard's page buttons share their ids with the frame's own controls.
HWND Control(HWND dialog, int id) {
    for (bool onPage : {true, false}) {
        ControlSearch search{dialog, id, onPage, nullptr};
        EnumChildWindows(dialog, &FindControl, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
    }
    std::fprintf(stderr, "guiclick: no visible control %d\n", id);
    return nullptr;
}

void Send(DWORD flags, LONG x = 0, LONG y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// Moves the pointer to a point of the screen and clicks the left button there, with the
// pauses of a hand: the window under the pointer must see it arrive before the press.
void ClickAt(POINT at) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    // Two steps, as a hand arrives.
    for (LONG offset : {4, 0}) {
        Send(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, ((at.x + offset) * 65535 + width / 2) / (width - 1),
             ((at.y + offset) * 65535 + height / 2) / (height - 1));
        Sleep(120);
    }
    Send(MOUSEEVENTF_LEFTDOWN);
    Sleep(80);
    Send(MOUSEEVENTF_LEFTUP);
    Sleep(200);
}

void ClickCentre(HWND window, const RECT& client) {
    POINT at{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    ClientToScreen(window, &at);
    ClickAt(at);
}

bool ClickListEntry(HWND list, const char* text) {
    LRESULT item = SendMessageA(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(text));
    RECT rect;
    if (item == LB_ERR || SendMessageA(list, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect)) == LB_ERR) {
        std::fprintf(stderr, "guiclick: no entry \"%s\"\n", text);
        return false;
    }
    ClickCentre(list, rect);
    return true;
}

struct DropSearch {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK FindDropped(HWND hwnd, LPARAM context) {
    auto& search = *reinterpret_cast<DropSearch*>(context);
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (IsWindowVisible(hwnd) && lstrcmpiA(cls, "ComboLBox") == 0 &&
        GetWindowThreadProcessId(hwnd, nullptr) == search.thread) {
        search.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The shown drop-down list of a combo box: a top-level window of the combo box's thread.
// (GetComboBoxInfo does not reach into another process.)
HWND DroppedList(HWND combo) {
    DropSearch search{GetWindowThreadProcessId(combo, nullptr), nullptr};
    for (DWORD start = GetTickCount(); !search.found && GetTickCount() - start < 1000; Sleep(50))
        EnumWindows(&FindDropped, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Pick(HWND control, const char* text) {
    char cls[32] = "";
    GetClassNameA(control, cls, sizeof cls);
    if (lstrcmpiA(cls, "ComboBox") != 0) return ClickListEntry(control, text);
    // A drop-down list: open it with a click, then click the entry in the list that drops.
    // The entry's place comes from the combo box (its dropped list answers no text queries
    // from another process): its index, the item height and the list's first shown entry.
    LRESULT item = SendMessageA(control, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(text));
    if (item == CB_ERR) {
        std::fprintf(stderr, "guiclick: no entry \"%s\"\n", text);
        return false;
    }
    RECT rect;
    GetClientRect(control, &rect);
    ClickCentre(control, rect);
    HWND dropped = DroppedList(control);
    if (!dropped) {
        std::fprintf(stderr, "guiclick: the list did not drop\n");
        return false;
    }
    LONG height = static_cast<LONG>(SendMessageA(control, CB_GETITEMHEIGHT, 0, 0));
    LONG top = static_cast<LONG>(SendMessageA(dropped, LB_GETTOPINDEX, 0, 0));
    RECT list;
    GetClientRect(dropped, &list);
    RECT entry{list.left, (static_cast<LONG>(item) - top) * height, list.right,
               (static_cast<LONG>(item) - top + 1) * height};
    ClickCentre(dropped, entry);
    return true;
}

}  // namespace

// Runs the command line of argv[2] on to its end; see the usage above.
int Run(int argc, char** argv) {
    std::string commandLine;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += arg.find(' ') == std::string::npos ? arg : "\"" + arg + "\"";
    }
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    DWORD began = GetTickCount();
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &start, &process)) {
        std::printf("cannot start: error %lu\n", GetLastError());
        return 1;
    }
    vesk::WindowWatch watch{process.dwProcessId, false};
    bool ended = false;
    while (!ended && GetTickCount() - began < kRunLimitMs) {
        ended = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0;
        vesk::LookForWindows(watch);
    }
    DWORD elapsed = GetTickCount() - began;
    // A program that outlives the wait is not left behind.
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!ended) {
        std::printf("still running after %lu ms: stopped\n", static_cast<unsigned long>(elapsed));
        return 1;
    }
    std::printf("exit code %lu, %lu ms, %s\n", static_cast<unsigned long>(code),
                static_cast<unsigned long>(elapsed), watch.shown ? "a window shown" : "no window shown");
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "run") return Run(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: guiclick wait|click|pick|type|gone CAPTION [ID [TEXT]]\n");
        return 2;
    }
    std::string command = argv[1];
    const char* caption = argv[2];
    if (command == "gone") {
        DWORD limit = argc >= 4 ? static_cast<DWORD>(std::atoi(argv[3])) * 1000 : kWaitMs;
        for (DWORD start = GetTickCount(); GetTickCount() - start < limit; Sleep(50)) {
            Search search{caption, nullptr};
            EnumWindows(&FindTop, reinterpret_cast<LPARAM>(&search));
            if (!search.found) return 0;
        }
        return 1;
    }
    HWND dialog = WaitFor(caption);
    if (!dialog) return 1;
    SetForegroundWindow(dialog);
    if (command == "wait") {
        RECT rect;
        GetWindowRect(dialog, &rect);
        std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
        return 0;
    }
    if (argc < 4) return 2;
    HWND control = Control(dialog, std::atoi(argv[3]));
    if (!control) return 1;
    if (command == "click") {
        RECT rect;
        GetClientRect(control, &rect);
        // Check boxes and radio buttons are clicked on their box, at the text's start.
        char cls[32] = "";
        GetClassNameA(control, cls, sizeof cls);
        LONG style = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
        if (lstrcmpiA(cls, "Button") == 0 && style != BS_PUSHBUTTON && style != BS_DEFPUSHBUTTON)
            rect.right = rect.left + 2 * (rect.bottom - rect.top);
        ClickCentre(control, rect);
        return 0;
    }
    if (command == "pick" && argc >= 5) return Pick(control, argv[4]) ? 0 : 1;
    if (command == "type" && argc >= 5) {
        RECT rect;
        GetClientRect(control, &rect);
        ClickCentre(control, rect);
        for (const char* c = argv[4]; *c; ++c) {
            PostMessageA(control, WM_CHAR, static_cast<unsigned char>(*c), 1);
            Sleep(20);
        }
        return 0;
    }
    return 2;
}
