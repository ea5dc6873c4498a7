// The monitor's two opens of the COM port, against the printer simulator on COM1.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job_path.h"
#include "long_dos_names.h"
#include "monitor_state.h"
#include "port_list.h"
#include "profile.h"
#include "prompt_recorder.h"
#include "serial_open.h"
#include "simulator.h"

namespace {

class SerialOpen : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeMonitorLocks();
        entry = VeskCreatePortEntry(&list, L"VESK");
        ASSERT_NE(entry, nullptr);
    }
    void TearDown() override {
        if (entry->hFile != INVALID_HANDLE_VALUE) CloseHandle(entry->hFile);
        VeskDeletePortEntry(&list, L"VESK");
        vt::DeleteSection(L"Vesk Ports");
        vt::DeleteSection(L"ports");
    }
    void Store(const wchar_t* settings) {
        vt::WriteSection(L"Vesk Ports", {{L"VESK", settings}});
    }

    vt::Simulator sim;
    vt::PromptRecorder prompts;
    PortList list{kPortListSignature, nullptr};
    PortEntry* entry = nullptr;
};

void ExpectLinkState(HANDLE h, DWORD baud, BYTE stopBits) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    EXPECT_EQ(dcb.BaudRate, baud);
    EXPECT_EQ(dcb.StopBits, stopBits);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_FALSE(dcb.fDsrSensitivity);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
    EXPECT_FALSE(dcb.fTXContinueOnXoff);
    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(h, &t));
    EXPECT_EQ(t.ReadIntervalTimeout, 200u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 5000u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 3000u);
}

// Leaves COM1 with every kind of flow control switched on, as another program might.
void LeaveFlowControlOn() {
    HANDLE h = CreateFileW(L"COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    EXPECT_TRUE(SetCommState(h, &dcb));
    CloseHandle(h);
}

// Records the names the job's open asks the platform for, and opens them.
struct OpenedNames {
    OpenedNames() {
        names().clear();
        ReplaceJobDeviceCreate(&Create);
    }
    ~OpenedNames() { ReplaceJobDeviceCreate(nullptr); }
    static std::vector<std::wstring>& names() {
        static std::vector<std::wstring> opened;
        return opened;
    }
    static HANDLE WINAPI Create(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
        names().push_back(name);
        return CreateFileW(name, access, share, sa, disposition, flags, templateFile);
    }
};

// Opens the job's device and, before handing it back, has a ClosePort of `port` run on
// another thread, as if it came while the platform opened the device.
struct ClosingDuringOpen {
    static inline PortEntry* port = nullptr;
    static inline HANDLE opened = INVALID_HANDLE_VALUE;
    static inline bool closed = false;
    static HANDLE WINAPI Create(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
        opened = CreateFileW(name, access, share, sa, disposition, flags, templateFile);
        HANDLE close = CreateThread(nullptr, 0, [](void*) WINAPI -> DWORD {
            return VeskClosePort(port);
        }, nullptr, 0, nullptr);
        closed = close && WaitForSingleObject(close, 5000) == WAIT_OBJECT_0;
        if (close) CloseHandle(close);
        return opened;
    }
};

}  // namespace

TEST_F(SerialOpen, JobOpensTheDeviceNamespaceNameOfEveryComPort) {
    // The plain name is a device only for COM1..COM9; from COM10 it names a file. (COM12 of
    // the lane leads to /dev/null here, so its line cannot be configured: only the name counts.)
    OpenedNames opened;
    Store(L"COM1:,9600,n,8,1");
    EXPECT_TRUE(ValidateDosDevicePort(entry, nullptr)) << GetLastError();
    CloseHandle(entry->hFile);
    entry->hFile = INVALID_HANDLE_VALUE;
    entry->Status = 0;
    Store(L"COM12:,9600,n,8,1");
    ValidateDosDevicePort(entry, nullptr);
    EXPECT_EQ(opened.names(), (std::vector<std::wstring>{L"\\\\.\\COM1", L"\\\\.\\COM12"}));
    EXPECT_TRUE(prompts.questions.empty()) << "both devices opened";
}

TEST_F(SerialOpen, JobOpenConfiguresTheLineFromTheStoredString) {
    Store(L"COM1:,19200,n,8,2");
    LeaveFlowControlOn();
    sim.Sync();
    EXPECT_EQ(sim.State()["pc_ixon"], "1") << "the simulator sees the flow control left on";

    DWORD block = 0;
    ASSERT_TRUE(ValidateDosDevicePort(entry, &block));
    EXPECT_EQ(block, 96u);
    EXPECT_TRUE(entry->Status & PORT_FLAG_OPEN);
    ASSERT_NE(entry->hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(sim.PcLine(), "19200/2");
    auto state = sim.Sync();
    EXPECT_EQ(state["pc_ixon"], "0");
    EXPECT_EQ(state["pc_ixoff"], "0");
    ExpectLinkState(entry->hFile, 19200, TWOSTOPBITS);
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(SerialOpen, JobOpenAppliesThePortsEntryOfTheBareComName) {
    Store(L"COM1:,19200,n,8,1");
    vt::WriteSection(L"ports", {{L"COM1", L"4800,n,8,2"}});
    DWORD block = 0;
    ASSERT_TRUE(ValidateDosDevicePort(entry, &block));
    EXPECT_EQ(block, 96u) << "the block size comes from the stored settings";
    EXPECT_EQ(sim.PcLine(), "4800/2");
    ExpectLinkState(entry->hFile, 4800, TWOSTOPBITS);
}

TEST_F(SerialOpen, JobOpenIgnoresThePortsEntryWithAColon) {
    // The platform's own keys carry a colon; only a key without one is the device's entry.
    Store(L"COM1:,19200,n,8,1");
    vt::WriteSection(L"ports", {{L"COM1:", L"4800,n,8,2"}});
    ASSERT_TRUE(ValidateDosDevicePort(entry, nullptr));
    EXPECT_EQ(sim.PcLine(), "19200/1");
}

TEST_F(SerialOpen, JobOpenWithoutReadableSettingsOpensNothing) {
    Store(L"COM1");
    DWORD block = 12345;
    SetLastError(0);
    EXPECT_FALSE(ValidateDosDevicePort(entry, &block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DATA));
    EXPECT_EQ(entry->hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(block, 12345u);
    EXPECT_EQ(entry->Status, 0u);
    EXPECT_TRUE(prompts.questions.empty());

    Store(L"COM100:,9600,n,8,1");
    EXPECT_FALSE(ValidateDosDevicePort(entry, &block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(entry->hFile, INVALID_HANDLE_VALUE);
}

TEST_F(SerialOpen, JobOpenOfAnUnknownPortFailsWithThePlatformsError) {
    // The platform's default configuration needs the device, so a port that cannot be
    // opened fails while the settings are read, before any open and without a question.
    Store(L"NOCOM:,9600,n,8,1");
    SetLastError(0);
    EXPECT_FALSE(ValidateDosDevicePort(entry, nullptr));
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(entry->hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(entry->Status & PORT_FLAG_OPEN, 0u);
}

TEST_F(SerialOpen, DeviceOpenFailureShowsTheSystemsText) {
    // A device that the platform knows but that will not open (on Windows: another program
    // holds it) is reported with the system's text for the error.
    ReportDeviceOpenFailure(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].caption, L"ValidateDosDevicePort");
    EXPECT_EQ(prompts.questions[0].type, static_cast<UINT>(MB_OK));
    wchar_t expected[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_ACCESS_DENIED, 0, expected, 512,
                   nullptr);
    EXPECT_EQ(prompts.questions[0].text, expected);
    EXPECT_FALSE(prompts.questions[0].text.empty());
}

TEST_F(SerialOpen, AFailedOpenLetsGoOfTheDeviceBeforeItTellsAndABusyOrShutDownPortTellsNobody) {
    // A device another program holds: the notice comes with the claim already given up, so
    // the other ports' jobs and DeletePort never wait for the user to read it.
    Store(L"COM1:,9600,n,8,1");
    struct Held {
        static HANDLE WINAPI Create(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    };
    ReplaceJobDeviceCreate(&Held::Create);
    DWORD statusWhileTold = 0xFFFFFFFF;
    prompts.onQuestion = [&] { statusWhileTold = entry->Status; };
    SetLastError(0);
    EXPECT_FALSE(ValidateDosDevicePort(entry, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ReplaceJobDeviceCreate(nullptr);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].caption, L"ValidateDosDevicePort");
    EXPECT_EQ(statusWhileTold & PORT_FLAG_OPEN, 0u) << "the device stayed claimed while the user was told";
    EXPECT_EQ(entry->Status, 0u);

    // Another VESK port's job has the shared device: this port waits its turn and reports
    // nothing as its own trouble.
    PortEntry* second = VeskCreatePortEntry(&list, L"VESK2");
    ASSERT_NE(second, nullptr);
    entry->Status = PORT_FLAG_OPEN;
    SetLastError(0);
    EXPECT_FALSE(ValidateDosDevicePort(second, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(second->Status, 0u);
    EXPECT_EQ(second->hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(prompts.questions.size(), 1u) << "no second notice";
    entry->Status = 0;
    VeskDeletePortEntry(&list, L"VESK2");

    // An entry that Shutdown left to the spooler is in no list: its job ended with the
    // monitor, and the device (which the simulator would open) stays closed.
    entry->pList = nullptr;
    entry->Status = PORT_FLAG_SHUT_DOWN;
    SetLastError(0);
    EXPECT_FALSE(ValidateDosDevicePort(entry, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(entry->hFile, INVALID_HANDLE_VALUE) << "a shut-down port opened the device";
    EXPECT_EQ(entry->Status, PORT_FLAG_SHUT_DOWN);
    EXPECT_EQ(prompts.questions.size(), 1u);
    entry->pList = &list;
    entry->Status = 0;
}

TEST_F(SerialOpen, AnOpenWhoseClaimAClosePortTookBackClosesItsDevice) {
    // ClosePort runs on another thread while the job's open is in the platform's CreateFileW
    // (the claim is made, the device is not yet the entry's): the close finds no device, so
    // the open must not hand one to the entry afterwards, with nobody left to close it.
    Store(L"COM1:,9600,n,8,1");
    ClosingDuringOpen::port = entry;
    ReplaceJobDeviceCreate(&ClosingDuringOpen::Create);
    SetLastError(0);
    BOOL result = ValidateDosDevicePort(entry, nullptr);
    DWORD error = GetLastError();
    DWORD flags = 0;
    bool deviceOpen = GetHandleInformation(ClosingDuringOpen::opened, &flags) != FALSE;
    ReplaceJobDeviceCreate(nullptr);
    ASSERT_NE(ClosingDuringOpen::opened, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(ClosingDuringOpen::closed) << "ClosePort waited for the open";
    EXPECT_FALSE(result);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(entry->hFile, INVALID_HANDLE_VALUE) << "the closed port was given a device";
    EXPECT_EQ(entry->Status & PORT_FLAG_OPEN, 0u);
    EXPECT_FALSE(deviceOpen) << "the device was left open";
    if (deviceOpen && entry->hFile != ClosingDuringOpen::opened) CloseHandle(ClosingDuringOpen::opened);
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(SerialOpen, SettingsOpenGoesThroughTheNonspooledName) {
    VESK_SKIP_WITHOUT_LONG_DOS_NAMES();
    Store(L"COM1:,38400,n,8,2");
    LeaveFlowControlOn();
    VeskPortSettings settings{};
    DWORD needed = 0;
    ASSERT_EQ(GetVeskPortSettings(nullptr, 0, reinterpret_cast<PBYTE>(&settings), sizeof settings,
                                  &needed), 0u);
    DWORD block = 0;
    HANDLE h = OpenVeskPort(&settings, &block);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(block, 192u);
    EXPECT_EQ(sim.PcLine(), "38400/2");
    EXPECT_EQ(sim.State()["pc_ixon"], "0");
    ExpectLinkState(h, 38400, TWOSTOPBITS);

    // The same device: a byte written reaches the printer, which hears it at the port's
    // settings.
    sim.Control("settings 38400,n,8,2");
    sim.Sync();
    DWORD written = 0;
    EXPECT_TRUE(WriteBuffer(h, "\x18", 1, &written));
    EXPECT_EQ(written, 1u);
    EXPECT_TRUE(sim.WaitFor("received", 1, 5000));
    EXPECT_EQ(vt::Hex(vt::BytesFromPc(sim.WireLog())), "18");
    CloseHandle(h);

    // The next open replaces the private name's definition and reaches the same device.
    RemoveVeskDosDeviceDefinition(&settings);
    h = OpenVeskPort(&settings, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(h);
    LocalFree(settings.pConfig);
}

TEST_F(SerialOpen, SettingsOpenOfAMissingDeviceFails) {
    VeskPortSettings settings{};
    lstrcpyW(settings.ComName, L"NOCOM");
    COMMCONFIG cc{};
    cc.dwSize = sizeof cc;
    cc.dcb.DCBlength = sizeof(DCB);
    cc.dcb.BaudRate = 9600;
    cc.dcb.ByteSize = 8;
    settings.pConfig = &cc;
    SetLastError(0);
    EXPECT_EQ(OpenVeskPort(&settings, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_NE(GetLastError(), 0u);
    settings.pConfig = nullptr;
    EXPECT_EQ(OpenVeskPort(&settings, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(prompts.questions.empty()) << "the settings open asks nobody";
}
