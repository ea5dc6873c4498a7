// String helpers that work for both character widths: the serial layer is compiled wide for
// the monitor and single-byte for setup, and shares these.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace vesk {

template <typename CharT>
constexpr DWORD Length(const CharT* s) {
    DWORD n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

// ASCII-only case folding: the names compared here (VESK, COM, NONSPOOLED_) are ASCII.
template <typename CharT>
constexpr CharT FoldCase(CharT c) {
    return (c >= 'a' && c <= 'z') ? static_cast<CharT>(c - 'a' + 'A') : c;
}

// True when the first `count` characters of a and b agree without regard to case; a string
// that ends early only agrees with one that ends at the same place.
template <typename CharT>
constexpr bool EqualPrefixNoCase(const CharT* a, const CharT* b, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
        if (a[i] == 0) return true;
    }
    return true;
}

template <typename CharT>
constexpr bool EqualNoCase(const CharT* a, const CharT* b) {
    for (DWORD i = 0;; ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
        if (a[i] == 0) return true;
    }
}

// Appends texts to a buffer of `capacity` characters (terminator included), keeping it
// terminated. After an overflow the buffer holds "" and further appends are refused.
template <typename CharT>
class BoundedAppender {
public:
    BoundedAppender(CharT* buffer, DWORD capacity) : buf_(buffer), cap_(capacity) {
        if (buf_ && cap_) buf_[0] = 0;
    }
    bool usable() const { return buf_ && cap_; }
    bool append(const CharT* text) {
        if (!usable() || overflow_) return false;
        for (; text && *text; ++text) {
            if (used_ + 1 >= cap_) {
                overflow_ = true;
                buf_[0] = 0;
                return false;
            }
            buf_[used_++] = *text;
        }
        buf_[used_] = 0;
        return true;
    }
    // 0, ERROR_INVALID_PARAMETER (no buffer or capacity 0) or ERROR_BUFFER_OVERFLOW.
    DWORD result() const {
        return !usable() ? ERROR_INVALID_PARAMETER : overflow_ ? ERROR_BUFFER_OVERFLOW : 0;
    }

private:
    CharT* buf_;
    DWORD cap_;
    DWORD used_ = 0;
    bool overflow_ = false;
};

// Concatenates `texts` into `buffer`; the result codes of BoundedAppender.
template <typename CharT>
DWORD ConcatBounded(CharT* buffer, DWORD capacity, std::initializer_list<const CharT*> texts) {
    BoundedAppender<CharT> out(buffer, capacity);
    for (const CharT* t : texts) out.append(t);
    return out.result();
}

// Copies at most capacity - 1 characters and always terminates. Returns false when `text`
// was cut.
template <typename CharT>
bool CopyBounded(CharT* buffer, DWORD capacity, const CharT* text) {
    if (!buffer || capacity == 0) return false;
    DWORD i = 0;
    for (; text && text[i]; ++i) {
        if (i + 1 >= capacity) {
            buffer[i] = 0;
            return false;
        }
        buffer[i] = text[i];
    }
    buffer[i] = 0;
    return true;
}

// Removes one trailing colon in place.
template <typename CharT>
void RemoveTrailingColon(CharT* name) {
    DWORD n = Length(name);
    if (n && name[n - 1] == ':') name[n - 1] = 0;
}

}  // namespace vesk
