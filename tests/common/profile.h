// Writing and reading the prefix's win.ini from a test, section by section.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vt {

using KeyValues = std::vector<std::pair<std::wstring, std::wstring>>;

// Replaces a whole section of win.ini with these keys, in this order.
void WriteSection(const wchar_t* section, const KeyValues& keys);
// Removes a section.
void DeleteSection(const wchar_t* section);
// The key names of a section, in the file's order.
std::vector<std::wstring> KeyNames(const wchar_t* section);
// A key's value, or nothing when the key is missing.
std::optional<std::wstring> Value(const wchar_t* section, const wchar_t* key);
void SetValue(const wchar_t* section, const wchar_t* key, const wchar_t* value);

// Sets a section for the lifetime of the object and removes it afterwards.
class ScopedSection {
public:
    ScopedSection(const wchar_t* section, const KeyValues& keys);
    ~ScopedSection();
    ScopedSection(const ScopedSection&) = delete;
    ScopedSection& operator=(const ScopedSection&) = delete;

private:
    std::wstring section_;
};

}  // namespace vt
