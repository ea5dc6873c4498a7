// veskmon.dll freed by its host while a thread of the library still runs: the thread's own
// reference keeps the image mapped until the thread has ended, so it never runs code that
// is gone. The thread is a job's busy thread that Shutdown cannot end in time (here held
// still, as a thread in a driver that does not complete its cancel would be).
#include <windows.h>
#include <tlhelp32.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <set>

#include "dialog_driver.h"
#include "profile.h"
#include "simulator.h"
#include "test_env.h"

namespace {

bool Mapped(const void* p) {
    MEMORY_BASIC_INFORMATION mbi{};
    return VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi && mbi.State == MEM_COMMIT &&
           mbi.Type == MEM_IMAGE;
}

std::set<DWORD> Threads() {
    std::set<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(te.th32ThreadID);
    CloseHandle(snap);
    return ids;
}

}  // namespace

TEST(Unload, TheLibraryStaysMappedUntilItsLastThreadHasEnded) {
    vt::ScopedSection ports(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    vt::Simulator sim;
    HMODULE lib = LoadLibraryW((vt::BinDir() + L"veskmon.dll").c_str());
    ASSERT_NE(lib, nullptr);
    using Init = LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE);
    auto init = reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(lib, "InitializePrintMonitor2")));
    ASSERT_NE(init, nullptr);
    MONITORINIT mi{};
    mi.cbSize = sizeof mi;
    mi.bLocal = TRUE;
    HANDLE monitor = nullptr, port = nullptr;
    LPMONITOR2 table = init(&mi, &monitor);
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(table->pfnOpenPort(monitor, const_cast<LPWSTR>(L"VESK"), &port));
    std::set<DWORD> before = Threads();
    // As Wine's spooler starts a document: no printer name, job 0.
    ASSERT_TRUE(table->pfnStartDocPort(port, nullptr, 0, 1, nullptr)) << GetLastError();
    std::set<DWORD> started;
    for (DWORD id : Threads())
        if (!before.count(id)) started.insert(id);
    ASSERT_EQ(started.size(), 1u) << "the job's busy thread";
    HANDLE busy = OpenThread(THREAD_SUSPEND_RESUME | SYNCHRONIZE, FALSE, *started.begin());
    ASSERT_NE(busy, nullptr);
    Sleep(200);  // into its read of the line
    ASSERT_NE(SuspendThread(busy), static_cast<DWORD>(-1));

    // The spooler ends the job and the monitor, and frees the library: Shutdown gives up
    // waiting for the thread within its bound.
    table->pfnClosePort(port);
    table->pfnShutdown(monitor);
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_TRUE(Mapped(table)) << "unmapped under its thread";
    EXPECT_EQ(GetModuleHandleW(L"veskmon.dll"), lib);

    ResumeThread(busy);
    EXPECT_EQ(WaitForSingleObject(busy, 20000), WAIT_OBJECT_0) << "the thread ends once it runs";
    CloseHandle(busy);
    EXPECT_TRUE(vt::WaitUntil([] { return GetModuleHandleW(L"veskmon.dll") == nullptr; }, 5000))
        << "the library stayed after its last thread";
    EXPECT_FALSE(Mapped(table));
}
