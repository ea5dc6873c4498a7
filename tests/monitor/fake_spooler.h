// The test side of fake_spoolss.dll: loads it, tells the monitor to use it, and reads what
// the monitor asked of it.
#pragma once

#include <windows.h>

#include <string>

namespace vt {

class FakeSpooler {
public:
    // Loads the fake and names it to a monitor loaded after this (VESKMON_SPOOLER_SERVICES).
    FakeSpooler();
    ~FakeSpooler();
    FakeSpooler(const FakeSpooler&) = delete;
    FakeSpooler& operator=(const FakeSpooler&) = delete;

    void Reset();
    void Configure(const wchar_t* key, const wchar_t* value);
    void Answer(int button) { Configure(L"answer", std::to_wstring(button).c_str()); }
    std::wstring Log();
    // How often `text` occurs in the log; a text may span lines (a question with a line
    // break in its message).
    int Count(const std::wstring& text);
    HMODULE module() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

}  // namespace vt
