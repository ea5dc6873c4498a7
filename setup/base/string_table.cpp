#include "string_table.h"

#include "resource_module.h"

bool LoadResourceString(UINT id, std::string& text) {
    text.clear();
    // The table keeps UTF-16; asking for a zero-size buffer gives the text in place.
    const wchar_t* wide = nullptr;
    int chars = LoadStringW(ResourceInstance(), id, reinterpret_cast<LPWSTR>(&wide), 0);
    if (chars <= 0 || !wide) return false;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, chars, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    text.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, wide, chars, text.data(), bytes, nullptr, nullptr);
    return true;
}

std::string ResourceString(UINT id) {
    std::string text;
    LoadResourceString(id, text);
    return text;
}
