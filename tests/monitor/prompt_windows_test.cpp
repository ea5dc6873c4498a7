// The monitor's message boxes on the desktop (outside the service session), with a short
// deadline: a question nobody answers counts as declined whatever its buttons, a notice
// never holds the thread that gives it, and only one notice is up at a time.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "dialog_driver.h"
#include "prompt.h"
#include "test_env.h"

namespace {

struct ShortDeadline {
    explicit ShortDeadline(DWORD ms) : hooks{nullptr, nullptr, [] { return false; }, nullptr, ms} {
        ReplacePrompt(&hooks);
    }
    ~ShortDeadline() { ReplacePrompt(nullptr); }
    PromptHooks hooks;
};

// The buttons the deadline pressed: the commands posted to this thread's windows.
struct PostedCommands {
    PostedCommands() { hook_ = SetWindowsHookExW(WH_GETMESSAGE, Note, nullptr, GetCurrentThreadId()); }
    ~PostedCommands() { UnhookWindowsHookEx(hook_); }
    static LRESULT CALLBACK Note(int code, WPARAM removed, LPARAM message) {
        auto* m = reinterpret_cast<MSG*>(message);
        if (code == HC_ACTION && removed == PM_REMOVE && m->message == WM_COMMAND)
            buttons().push_back(LOWORD(m->wParam));
        return CallNextHookEx(nullptr, code, removed, message);
    }
    static std::vector<WORD>& buttons() {
        static std::vector<WORD> b;
        return b;
    }
    HHOOK hook_;
};

bool Shown(const wchar_t* caption) {
    return FindWindowW(L"#32770", caption) != nullptr;
}

// Gives a notice once the one before has let go: its thread frees the place just after its
// box has gone.
bool GiveNotice(const wchar_t* caption) {
    return vt::WaitUntil([&] {
        if (!Shown(caption)) TellUser(L"The device cannot be opened.", caption);
        return Shown(caption);
    });
}

}  // namespace

TEST(PromptWindows, TheDeadlineEndsEveryKindOfQuestionAsDeclined) {
    ShortDeadline deadline(300);
    PostedCommands posted;
    PostedCommands::buttons().clear();
    // A Yes/No box has no Cancel: on Windows it ignores one, so the deadline answers No.
    EXPECT_EQ(AskUser(nullptr, L"Go on?", L"Vesk deadline", MB_YESNO), 0);
    EXPECT_EQ(AskUser(nullptr, L"Go on?", L"Vesk deadline", MB_OKCANCEL), 0);
    EXPECT_EQ(AskUser(nullptr, L"Go on?", L"Vesk deadline", MB_YESNOCANCEL | MB_ICONQUESTION), 0);
    EXPECT_FALSE(Shown(L"Vesk deadline"));
    EXPECT_EQ(PostedCommands::buttons(), (std::vector<WORD>{IDNO, IDCANCEL, IDCANCEL}));
}

TEST(PromptWindows, ANoticeDoesNotHoldTheThreadThatGivesIt) {
    ShortDeadline deadline(3000);
    TellUser(L"The device cannot be opened.", L"Vesk notice");
    // Back already, while the notice is on the screen; it goes with its own deadline.
    EXPECT_TRUE(vt::WaitUntil([] { return Shown(L"Vesk notice"); }, vt::kWaitMs));
    EXPECT_TRUE(vt::WaitUntil([] { return !Shown(L"Vesk notice"); }, vt::kWaitMs));
}

TEST(PromptWindows, OneNoticeIsUpAtATimeAndTheOnesMeanwhileAreDropped) {
    // Jobs failing one after another: one box (and one thread) at a time, not one for each.
    ShortDeadline deadline(1500);
    ASSERT_TRUE(GiveNotice(L"Vesk notice 1"));
    TellUser(L"The device cannot be opened.", L"Vesk notice 2");
    TellUser(L"The device cannot be opened.", L"Vesk notice 3");
    bool others = false;
    EXPECT_TRUE(vt::WaitUntil([&] {
        others = others || Shown(L"Vesk notice 2") || Shown(L"Vesk notice 3");
        return !Shown(L"Vesk notice 1");
    }));
    EXPECT_FALSE(others) << "a second notice came up beside the first";
    // Dropped, not kept for later: once the first has gone the next one given shows, alone.
    EXPECT_TRUE(GiveNotice(L"Vesk notice 4"));
    EXPECT_TRUE(vt::WaitUntil([&] {
        others = others || Shown(L"Vesk notice 2") || Shown(L"Vesk notice 3");
        return !Shown(L"Vesk notice 4");
    }));
    EXPECT_FALSE(others) << "a dropped notice came up later";
}
