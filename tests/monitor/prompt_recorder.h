// The monitor's questions answered by the test instead of a person: while a PromptRecorder
// lives, every message box the monitor would show is recorded and answered with `answer`,
// and the communications settings dialog either picks the line settings of `chosen` or is
// cancelled. One recorder at a time.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "prompt.h"

namespace vt {

class PromptRecorder {
public:
    struct Question {
        std::wstring text, caption;
        UINT type;
    };

    PromptRecorder() {
        // A second recorder would hand the real prompts back when it ends, and a headless
        // test would then wait on a message box nobody sees.
        if (Current()) ADD_FAILURE() << "one PromptRecorder at a time";
        Current() = this;
        ReplacePrompt(&kHooks);
    }
    ~PromptRecorder() {
        ReplacePrompt(nullptr);
        Current() = nullptr;
    }
    PromptRecorder(const PromptRecorder&) = delete;
    PromptRecorder& operator=(const PromptRecorder&) = delete;

    // The button every question is answered with.
    int answer = IDOK;
    // Baud rate, parity, data bits and stop bits the settings dialog's user picks; nothing
    // cancels the dialog.
    std::optional<DCB> chosen;
    // Runs while each question is open, to note what the line or the printer has seen by then.
    std::function<void()> onQuestion;

    std::vector<Question> questions;
    // The COM names the settings dialog was shown for.
    std::vector<std::wstring> settingsDialogs;

private:
    static PromptRecorder*& Current() {
        static PromptRecorder* recorder = nullptr;
        return recorder;
    }
    static int Ask(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
        PromptRecorder* r = Current();
        if (!r) return IDCANCEL;
        r->questions.push_back({text ? text : L"", caption ? caption : L"", type});
        if (r->onQuestion) r->onQuestion();
        return r->answer;
    }
    static BOOL Choose(LPCWSTR comName, HWND, LPCOMMCONFIG config) {
        PromptRecorder* r = Current();
        if (!r) return FALSE;
        r->settingsDialogs.push_back(comName ? comName : L"");
        if (!r->chosen) return FALSE;
        config->dcb.BaudRate = r->chosen->BaudRate;
        config->dcb.Parity = r->chosen->Parity;
        config->dcb.ByteSize = r->chosen->ByteSize;
        config->dcb.StopBits = r->chosen->StopBits;
        return TRUE;
    }
    static inline const PromptHooks kHooks = {&Ask, &Choose, nullptr, nullptr, 0};
};

}  // namespace vt
