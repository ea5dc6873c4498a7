#include "setup_log.h"

#include "ansi_text.h"

#include <aclapi.h>

#include <cstdio>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

// setup's texts are in the ANSI code page; the log is UTF-8 throughout.
std::string Utf8FromAnsi(const std::string& text) {
    return Utf8(FromAnsi(text));
}

void Write(const std::string& line) {
    if (g_log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(g_log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string TimeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') continue;
        if (c == '\n') {
            out += " / ";
            continue;
        }
        out += c == '\t' ? ' ' : c;
    }
    return out;
}

// The version Windows reports to the program: what a reader of the log compares against.
std::string WindowsVersion() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version)) return "unknown";
#pragma GCC diagnostic pop
    return std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
           "." + std::to_string(version.dwBuildNumber) + " (platform " +
           std::to_string(version.dwPlatformId) + ")";
}

// True when the file's owner is this process's user, the administrators or the system: a log
// that another user made beforehand (the system's temporary folder lets every user create
// files) could be read and written by that user.
bool OwnedByUsOrAdministrators(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                   IsWellKnownSid(owner, WinLocalSystemSid);
    HANDLE token = nullptr;
    if (!trusted && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
            trusted = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != FALSE;
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return trusted;
}

}  // namespace

std::wstring DefaultLogPath() {
    wchar_t folder[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) return {};
    std::wstring path(folder, n);
    if (path.back() != L'\\') path += L'\\';
    return path + kDefaultLogName;
}

bool OpenSetupLog(const std::wstring& path, const std::string& version,
                  const std::wstring& commandLine, DWORD& error) {
    error = ERROR_SUCCESS;
    if (g_log != INVALID_HANDLE_VALUE) CloseSetupLog({});
    if (path.empty()) {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    // The name itself is opened, never what it may point to; what it turns out to be is
    // checked on the open handle, so nothing can be swapped in between.
    // (READ_CONTROL: the owner is read from the handle.)
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL,
                              FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        error = GetLastError();
        CloseHandle(file);
        return false;
    }
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nNumberOfLinks > 1 || !OwnedByUsOrAdministrators(file)) {
        CloseHandle(file);
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    g_log = file;
    Write("\r\n" + TimeStamp() + "  ==== Vesk Printer Setup " + version + "; command line: " +
          OneLine(Utf8(commandLine)) + "; Windows " + WindowsVersion() + "\r\n");
    return true;
}

void CloseSetupLog(const std::string& text) {
    if (g_log == INVALID_HANDLE_VALUE) return;
    if (!text.empty()) LogLine(text);
    CloseHandle(g_log);
    g_log = INVALID_HANDLE_VALUE;
}

bool SetupLogOpen() {
    return g_log != INVALID_HANDLE_VALUE;
}

void LogLine(const std::string& text) {
    if (g_log == INVALID_HANDLE_VALUE) return;
    Write(TimeStamp() + "  " + OneLine(Utf8FromAnsi(text)) + "\r\n");
}

void LogStep(const std::string& step, bool succeeded) {
    LogLine("step: " + step + ": " + (succeeded ? "done" : "failed"));
}
