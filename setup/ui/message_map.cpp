#include "message_map.h"

bool MessageEntry::Matches(UINT msg, WPARAM wParam) const {
    if (msg != message) return false;
    switch (msg) {
    case WM_COMMAND:
        return id == LOWORD(wParam) && code == HIWORD(wParam);
    case WM_TIMER:
        return id == wParam;
    default:
        return id == kAnyId || id == wParam;
    }
}

const MessageEntry* MessageMap::Find(UINT message, WPARAM wParam) const {
    for (const MessageMap* map = this; map; map = map->base_)
        for (std::size_t i = 0; i < map->count_; ++i)
            if (map->entries_[i].Matches(message, wParam)) return &map->entries_[i];
    return nullptr;
}
