#include "fake_spooler.h"

#include <gtest/gtest.h>

#include "test_env.h"

namespace vt {

namespace {
template <typename Fn>
Fn Get(HMODULE m, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}
}  // namespace

FakeSpooler::FakeSpooler() {
    std::wstring path = BinDir() + L"fake_spoolss.dll";
    module_ = LoadLibraryW(path.c_str());
    EXPECT_NE(module_, nullptr) << "fake_spoolss.dll";
    SetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", path.c_str());
    Reset();
}

FakeSpooler::~FakeSpooler() {
    SetEnvironmentVariableW(L"VESKMON_SPOOLER_SERVICES", nullptr);
    if (module_) FreeLibrary(module_);
}

void FakeSpooler::Reset() {
    if (auto f = Get<void(WINAPI*)()>(module_, "FakeSpoolerReset")) f();
}

void FakeSpooler::Configure(const wchar_t* key, const wchar_t* value) {
    if (auto f = Get<void(WINAPI*)(const wchar_t*, const wchar_t*)>(module_, "FakeSpoolerConfigure"))
        f(key, value);
}

std::wstring FakeSpooler::Log() {
    auto f = Get<const wchar_t*(WINAPI*)()>(module_, "FakeSpoolerLog");
    return f ? f() : L"";
}

int FakeSpooler::Count(const std::wstring& text) {
    std::wstring log = Log();
    int n = 0;
    if (text.empty()) return n;
    for (size_t at = log.find(text); at != std::wstring::npos; at = log.find(text, at + text.size())) ++n;
    return n;
}

}  // namespace vt
