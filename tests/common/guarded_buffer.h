// A buffer that ends right before an inaccessible page, so a write or read past its end
// faults at once, and whose bytes can be poisoned to see what a call wrote.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vt {

class GuardedBuffer {
public:
    explicit GuardedBuffer(std::size_t size);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    BYTE* data() const { return data_; }
    std::size_t size() const { return size_; }
    void Poison(BYTE value = 0xCC);
    // True when every byte from `offset` on still holds `value`.
    bool Untouched(std::size_t offset, BYTE value = 0xCC) const;

private:
    BYTE* base_ = nullptr;
    BYTE* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t reserved_ = 0;
};

}  // namespace vt
