#include "link_opening.h"

#include "elevation.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>

namespace {

void ShellOpenHere(const char* address) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = address;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info);
}

// Releases a COM interface when it goes.
template <typename T>
struct Com {
    T* p = nullptr;
    ~Com() {
        if (p) p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// The desktop's folder view, reached through the shell's list of its windows; from it, the
// shell's own automation object, which carries out ShellExecute inside the desktop process.
bool DesktopShellOpen(const wchar_t* address) {
    Com<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(windows.put()))))
        return false;
    VARIANT location{}, root{};
    VariantInit(&location);
    VariantInit(&root);
    long window = 0;
    Com<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK || !desktop)
        return false;
    Com<IServiceProvider> provider;
    Com<IShellBrowser> browser;
    Com<IShellView> view;
    Com<IDispatch> background;
    Com<IShellFolderViewDual> folderView;
    Com<IDispatch> application;
    Com<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(provider.put()))) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                      reinterpret_cast<void**>(browser.put()))) ||
        FAILED(browser->QueryActiveShellView(view.put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                   reinterpret_cast<void**>(background.put()))) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual,
                                          reinterpret_cast<void**>(folderView.put()))) ||
        FAILED(folderView->get_Application(application.put())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(shell.put()))))
        return false;
    BSTR file = SysAllocString(address);
    if (!file) return false;
    VARIANT none{}, verb{}, show{};
    VariantInit(&none);
    verb.vt = VT_BSTR;
    verb.bstrVal = SysAllocString(L"open");
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    HRESULT result = shell->ShellExecute(file, none, none, verb, show);
    VariantClear(&verb);
    SysFreeString(file);
    return SUCCEEDED(result);
}

bool DesktopShellOpenA(const char* address) {
    int n = MultiByteToWideChar(CP_ACP, 0, address, -1, nullptr, 0);
    if (n <= 0) return false;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, address, -1, wide.data(), n);
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool opened = DesktopShellOpen(wide.c_str());
    if (SUCCEEDED(init)) CoUninitialize();
    return opened;
}

// The desktop's shell is another process, and a call into one that hangs would not return:
// the call is made on a thread of its own, which the wizard does not wait for.
DWORD WINAPI DesktopShellThread(void* parameter) {
    char* address = static_cast<char*>(parameter);
    DesktopShellOpenA(address);
    delete[] address;
    return 0;
}

bool StartDesktopShellOpen(const char* address) {
    size_t length = lstrlenA(address);
    char* copy = new char[length + 1];
    lstrcpynA(copy, address, static_cast<int>(length + 1));
    HANDLE thread = CreateThread(nullptr, 0, &DesktopShellThread, copy, 0, nullptr);
    if (!thread) {
        delete[] copy;
        return false;
    }
    CloseHandle(thread);
    return true;
}

ShellRoutes g_routes;

}  // namespace

bool RunsElevated() {
    // Systems before Vista do not know the question: nothing runs elevated there.
    return ProcessElevation() == Elevation::Elevated;
}

ShellRoutes ReplaceShellRoutes(const ShellRoutes& routes) {
    ShellRoutes previous = g_routes;
    g_routes = routes;
    return previous;
}

void OpenLinkAsDesktopUser(const char* address) {
    if (!address || !*address) return;
    if (!RunsElevated()) {
        (g_routes.fromThisProcess ? g_routes.fromThisProcess : &ShellOpenHere)(address);
        return;
    }
    // Elevated: through the desktop, or not at all.
    (g_routes.throughDesktopShell ? g_routes.throughDesktopShell : &StartDesktopShellOpen)(address);
}
