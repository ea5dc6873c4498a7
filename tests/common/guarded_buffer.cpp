#include "guarded_buffer.h"

namespace vt {

GuardedBuffer::GuardedBuffer(std::size_t size) : size_(size) {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    std::size_t page = si.dwPageSize;
    std::size_t pages = (size + page - 1) / page;
    reserved_ = (pages + 1) * page;
    base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, reserved_, MEM_RESERVE, PAGE_NOACCESS));
    if (pages) VirtualAlloc(base_, pages * page, MEM_COMMIT, PAGE_READWRITE);
    data_ = base_ + pages * page - size;
    Poison();
}

GuardedBuffer::~GuardedBuffer() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
}

void GuardedBuffer::Poison(BYTE value) {
    for (std::size_t i = 0; i < size_; ++i) data_[i] = value;
}

bool GuardedBuffer::Untouched(std::size_t offset, BYTE value) const {
    for (std::size_t i = offset; i < size_; ++i)
        if (data_[i] != value) return false;
    return true;
}

}  // namespace vt
