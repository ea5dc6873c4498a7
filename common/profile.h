// Reading win.ini (and private profile) strings whose length is not known in advance.
#pragma once

#include <windows.h>

#include <type_traits>

#include "win_raii.h"

namespace vesk {

// No profile read grows its buffer to this many characters; a list that needs it is refused.
inline constexpr DWORD kMaxProfileChars = 0x100000;

template <typename CharT>
struct ProfileText {
    GlobalBlock block;
    DWORD chars = 0;  // characters the profile function returned
    const CharT* text() const { return block.get<const CharT>(); }
};

template <typename CharT>
inline DWORD GetProfileStringT(const CharT* section, const CharT* key, const CharT* def,
                               CharT* out, DWORD size) {
    if constexpr (std::is_same_v<CharT, wchar_t>)
        return GetProfileStringW(section, key, def, out, size);
    else
        return GetProfileStringA(section, key, def, out, size);
}

// Reads section/key (a null key lists the section's key names) with an empty default into a
// zero-filled buffer that starts at `firstChars` characters and doubles until the text is
// shorter than the buffer minus 2. Returns false when the profile gave 0 characters, the
// buffer would reach kMaxProfileChars, or memory ran out. The buffer always ends in two
// terminators inside its size, so a reader of the list cannot run past it.
template <typename CharT>
bool ReadProfileGrowing(const CharT* section, const CharT* key, DWORD firstChars,
                        ProfileText<CharT>& out) {
    static constexpr CharT empty[1] = {0};
    for (DWORD size = firstChars; size < kMaxProfileChars; size *= 2) {
        GlobalBlock block(static_cast<SIZE_T>(size) * sizeof(CharT));
        if (!block) return false;
        DWORD n = GetProfileStringT<CharT>(section, key, empty, block.get<CharT>(), size);
        if (n == 0) return false;
        if (n < size - 2) {
            out.block = static_cast<GlobalBlock&&>(block);
            out.chars = n;
            return true;
        }
    }
    return false;
}

}  // namespace vesk
