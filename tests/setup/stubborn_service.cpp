// A service that ignores the stop control: it stays running until its process is ended (or,
// left behind, for two minutes).
//   vesk_stubborn_service.exe   (started by the service manager)
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;

void Report(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_status, &status);
}

DWORD WINAPI Handler(DWORD, DWORD, void*, void*) {
    // The stop control is accepted and ignored: the service goes on running.
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
    g_status = RegisterServiceCtrlHandlerExA("", Handler, nullptr);
    if (!g_status) return;
    Report(SERVICE_RUNNING);
    // Bounded, so that a test that fails before it ends the process leaves nothing for ever.
    Sleep(120000);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(""), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
