// Where the monitor's questions go when it runs in the spooler's service session: with no
// job to ask through, to the session of the client it serves; its own dialogs not at all.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "fake_line.h"
#include "port_dialogs.h"
#include "printer_link.h"
#include "profile.h"
#include "prompt.h"

using vt::FakeLine;

namespace {

// The service session, with the terminal services' messages recorded and answered.
struct ServiceSession {
    struct Sent {
        DWORD session;
        std::wstring caption, text;
        UINT type;
        DWORD timeout;
        BOOL wait;
    };
    ServiceSession() {
        Current() = this;
        ReplacePrompt(&kHooks);
    }
    ~ServiceSession() {
        ReplacePrompt(nullptr);
        Current() = nullptr;
    }
    DWORD answer = IDOK;
    std::vector<Sent> sent;

private:
    static ServiceSession*& Current() {
        static ServiceSession* s = nullptr;
        return s;
    }
    static BOOL WINAPI Send(HANDLE, DWORD session, LPWSTR title, DWORD titleBytes, LPWSTR message,
                            DWORD messageBytes, DWORD style, DWORD timeout, DWORD* response, BOOL wait) {
        // The lengths are in bytes, without the terminating zero.
        EXPECT_EQ(titleBytes, lstrlenW(title) * sizeof(WCHAR));
        EXPECT_EQ(messageBytes, lstrlenW(message) * sizeof(WCHAR));
        Current()->sent.push_back({session, title, message, style, timeout, wait});
        *response = Current()->answer;
        return TRUE;
    }
    static inline const PromptHooks kHooks = {nullptr, nullptr, [] { return true; }, &Send, 0};
};

}  // namespace

TEST(PromptRoute, WithoutAJobTheServiceAsksInTheClientsSession) {
    // A baud-rate change from the user interface library: the printer wants a power cycle.
    // Nobody answers (the message's time-out), Cancel, then OK.
    vt::ScopedSection section(L"Vesk Ports", {{L"VESK", L"COM1:,9600,N,8,1"}});
    ServiceSession service;
    for (DWORD answer : {IDCANCEL, IDOK}) {
        FakeLine line;
        line.SetDsr(true);
        vt::AnswerAsPrinter(line, "19200,N,8,1\r", std::string("\x06\x00\x01", 3));
        service.answer = answer;
        vt::SettingsRecord r(19200);
        r.record.hComm = line.handle();
        EXPECT_EQ(SetVeskPortSettings(r.bytes(), sizeof r.record, nullptr, 0, nullptr),
                  answer == IDOK ? 0u : 1u);
    }
    ASSERT_EQ(service.sent.size(), 2u);
    for (const auto& s : service.sent) {
        EXPECT_EQ(s.session, WTSGetActiveConsoleSessionId()) << "no client to impersonate here";
        EXPECT_EQ(s.text.find(L"Please remove power or charger"), 0u);
        EXPECT_EQ(s.type, static_cast<UINT>(MB_OKCANCEL));
        EXPECT_EQ(s.timeout, kQuestionTimeoutSeconds);
        EXPECT_TRUE(s.wait) << "a question waits for its answer";
    }
    EXPECT_EQ(vt::Value(L"Vesk Ports", L"VESK"), std::wstring(L"COM1:,19200,n,8,1"))
        << "OK went on; Cancel had stopped";
    COMMCONFIG config{};
    EXPECT_FALSE(ChooseSettings(L"COM1", nullptr, &config)) << "a dialog has no way there";
}

TEST(PromptRoute, AQuestionNobodyAnsweredInTimeCountsAsDeclined) {
    ServiceSession service;
    service.answer = 32000;  // the terminal services' answer when the time-out passed
    EXPECT_EQ(AskUser(nullptr, L"text", L"caption", MB_YESNO), 0);
    service.answer = IDYES;
    EXPECT_EQ(AskUser(nullptr, L"text", L"caption", MB_YESNO), IDYES);
}

TEST(PromptRoute, ANoticeIsSentWithoutWaitingForItsReader) {
    ServiceSession service;
    TellUser(L"The device cannot be opened", L"ValidateDosDevicePort");
    ASSERT_EQ(service.sent.size(), 1u);
    EXPECT_EQ(service.sent[0].type, static_cast<UINT>(MB_OK));
    EXPECT_FALSE(service.sent[0].wait);
    EXPECT_EQ(service.sent[0].caption, L"ValidateDosDevicePort");
}

TEST(PromptRoute, TheMonitorsDialogsAreRefusedInTheServiceSession) {
    ServiceSession service;
    SetLastError(0);
    EXPECT_FALSE(VeskAddPort(nullptr, nullptr, const_cast<LPWSTR>(L"Vesk Port Monitor")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    SetLastError(0);
    EXPECT_FALSE(VeskConfigurePort(nullptr, nullptr, const_cast<LPWSTR>(L"VESK")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(service.sent.empty());
}
