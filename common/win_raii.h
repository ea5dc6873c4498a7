// Small owners for Win32 resources, used inside the deliverables. The boundaries (exported
// entry points, records that cross to the spooler) keep plain Win32 types.
#pragma once

#include <windows.h>

#include <utility>

namespace vesk {

// Owns a kernel handle closed with CloseHandle. Null and INVALID_HANDLE_VALUE both mean "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return valid(h_); }
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, nullptr); }
    void reset(HANDLE h = nullptr) {
        HANDLE old = std::exchange(h_, h);
        if (valid(old)) CloseHandle(old);
    }

private:
    HANDLE h_ = nullptr;
};

// Zero-filled fixed global memory, freed with GlobalFree unless released to a receiver.
class GlobalBlock {
public:
    GlobalBlock() = default;
    explicit GlobalBlock(SIZE_T size) : p_(size ? GlobalAlloc(GPTR, size) : nullptr) {}
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    GlobalBlock(GlobalBlock&& o) noexcept : p_(o.release()) {}
    GlobalBlock& operator=(GlobalBlock&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~GlobalBlock() { reset(); }

    explicit operator bool() const { return p_ != nullptr; }
    template <typename T = void>
    T* get() const { return static_cast<T*>(p_); }
    void* release() { return std::exchange(p_, nullptr); }
    void reset(void* p = nullptr) {
        void* old = std::exchange(p_, p);
        if (old) GlobalFree(old);
    }

private:
    void* p_ = nullptr;
};

// Holds a critical section for the lifetime of the object.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
    ~CriticalSectionLock() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION& cs_;
};

}  // namespace vesk
