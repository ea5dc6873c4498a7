#include "test_env.h"

namespace vt {

std::wstring Env(const wchar_t* name) {
    wchar_t buf[4096];
    DWORD n = GetEnvironmentVariableW(name, buf, 4096);
    return n && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

std::wstring WindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring w = L"Z:" + path;
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    return w;
}

static std::wstring WithSlash(std::wstring p) {
    if (!p.empty() && p.back() != L'\\') p += L'\\';
    return p;
}

std::wstring BinDir() {
    std::wstring dir = Env(L"VESK_BIN_DIR");
    if (dir.empty()) {
        // Run by hand: the test programs live beside the deliverables.
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        dir = self;
        dir.resize(dir.find_last_of(L'\\'));
    }
    return WithSlash(WindowsPath(dir));
}

std::wstring RunDir() {
    std::wstring dir = Env(L"VESK_TEST_RUN");
    if (dir.empty()) {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        dir = tmp;
    }
    return WithSlash(WindowsPath(dir));
}

bool InstallIntoSystemDirectory(const wchar_t* fileName) {
    wchar_t sys[MAX_PATH];
    GetSystemDirectoryW(sys, MAX_PATH);
    std::wstring from = BinDir() + fileName;
    std::wstring to = std::wstring(sys) + L"\\" + fileName;
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::wstring Widen(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

}  // namespace vt
