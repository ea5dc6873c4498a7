// Lists from the spooler (monitors, drivers, printers) and the service manager, which answer
// in two calls: one that gives the size needed, one that fills a buffer of that size. The list
// can grow between the two (another program adds a printer), so the second call is repeated
// with the larger size the platform then gives.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

// One enumeration call: fill `buffer` of `size` bytes (null and 0 to ask the size), set
// `needed` and `returned`.
using EnumerationCall = std::function<BOOL(BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned)>;

enum class EnumerationStatus {
    Listed,    // the items are in `data`
    Empty,     // the size query gave 0: nothing to list (see sizeQueryFailed)
    NoMemory,  // the buffer could not be had
    Failed,    // a call failed: `error`
};

struct Enumeration {
    EnumerationStatus status = EnumerationStatus::Failed;
    DWORD error = 0;
    // The size query failed: with Empty, it failed without giving a size.
    bool sizeQueryFailed = false;
    std::vector<BYTE> data;
    DWORD count = 0;

    template <class Item>
    const Item* Items() const { return reinterpret_cast<const Item*>(data.data()); }
};

// How many times a list that keeps growing is asked for again before the last answer counts
// as the failure.
inline constexpr int kEnumerationAttempts = 5;

Enumeration Enumerate(const EnumerationCall& call);

// True when `list` holds items or there was nothing to list; otherwise shows why it could not
// be had (the list's error, or a general failure) and gives false.
bool ListUsable(const Enumeration& list);

// While not 0, every list fails at its size query with this error and no size, as from a
// spooler that is not there: how the steps' tests reach the messages of that failure.
void SetEnumerationFault(DWORD error);
