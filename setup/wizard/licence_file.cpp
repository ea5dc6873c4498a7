#include "licence_file.h"

#include <cstring>

#include "../../common/win_raii.h"

bool ReadLicenceFile(const std::wstring& path, std::string& text) {
    text.clear();
    vesk::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // A pipe or a device under the licence's name could keep a read waiting for ever.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > kMaxLicenceBytes)
        return false;

    text.resize(static_cast<size_t>(size.QuadPart));
    size_t got = 0;
    while (got < text.size()) {
        DWORD n = 0;
        if (!ReadFile(file.get(), text.data() + got, static_cast<DWORD>(text.size() - got), &n,
                      nullptr) ||
            n == 0)
            break;
        got += n;
    }
    text.resize(got);
    text.resize(std::strlen(text.c_str()));
    return true;
}
