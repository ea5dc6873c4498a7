#include "profile.h"

#include <windows.h>

namespace vt {

void WriteSection(const wchar_t* section, const KeyValues& keys) {
    // Key by key: Wine's WriteProfileSectionW reports success and writes nothing.
    DeleteSection(section);
    for (const auto& [k, v] : keys) WriteProfileStringW(section, k.c_str(), v.c_str());
}

void DeleteSection(const wchar_t* section) {
    WriteProfileStringW(section, nullptr, nullptr);
}

std::vector<std::wstring> KeyNames(const wchar_t* section) {
    std::vector<wchar_t> buf(1 << 16);
    DWORD n = GetProfileStringW(section, nullptr, L"", buf.data(), static_cast<DWORD>(buf.size()));
    std::vector<std::wstring> names;
    for (DWORD pos = 0; pos < n && buf[pos];) {
        names.emplace_back(buf.data() + pos);
        pos += static_cast<DWORD>(names.back().size()) + 1;
    }
    return names;
}

std::optional<std::wstring> Value(const wchar_t* section, const wchar_t* key) {
    for (const auto& name : KeyNames(section)) {
        if (lstrcmpiW(name.c_str(), key) == 0) {
            wchar_t buf[4096];
            DWORD n = GetProfileStringW(section, key, L"", buf, 4096);
            return std::wstring(buf, n);
        }
    }
    return std::nullopt;
}

void SetValue(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    WriteProfileStringW(section, key, value);
}

ScopedSection::ScopedSection(const wchar_t* section, const KeyValues& keys) : section_(section) {
    WriteSection(section, keys);
}

ScopedSection::~ScopedSection() {
    DeleteSection(section_.c_str());
}

}  // namespace vt
