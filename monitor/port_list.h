// The monitor's ports: one entry per logical port, kept in creation order in the one list.
// The spooler's port handle is the address of the entry.
#pragma once

#include <windows.h>

inline constexpr DWORD kPortListSignature = 0x004D4C49;  // "ILM" and a zero byte
inline constexpr DWORD kPortEntrySignature = 0x5460;

inline constexpr DWORD PORT_FLAG_OPEN = 0x02;    // serial device opened and configured for a job
inline constexpr DWORD PORT_FLAG_IN_DOC = 0x08;  // a document is in progress
// The start of a document uses the port's device outside the lock (the wake-up, the settings
// query) until it hands the device to the job's flow: only that start closes it meanwhile. A
// close or Shutdown then sets PORT_FLAG_ENDED instead, and the start closes the device and
// goes no further once it sees that mark.
inline constexpr DWORD PORT_FLAG_STARTING = 0x10;
inline constexpr DWORD PORT_FLAG_ENDED = 0x20;
// The monitor was shut down while the spooler still held the port: the entry is in no list
// and goes with the spooler's last ClosePort.
inline constexpr DWORD PORT_FLAG_SHUT_DOWN = 0x100;

inline constexpr DWORD kMaxPortNameChars = 247;

struct PortList;
struct JobFlow;

struct PortEntry {
    DWORD Signature;
    DWORD Size;           // bytes of the allocation: this record plus the name behind it
    PortEntry* pNext;
    LPWSTR pName;         // inside the same allocation, kept as given
    HANDLE hFile;         // serial device of the current job, INVALID_HANDLE_VALUE when closed
    DWORD Status;         // PORT_FLAG_*; guarded by SpoolerSection
    LPWSTR pPrinterName;  // printer of the current job
    HANDLE hPrinter;      // spooler handle of that printer
    DWORD JobId;
    PortList* pList;
    JobFlow* pFlow;       // the busy thread of the current job, or null; guarded by SpoolerSection
    DWORD OpenCount;      // the spooler's open handles on the port; guarded by SpoolerSection
};

struct PortList {
    DWORD Signature;
    PortEntry* pFirst;
};

// A name is a VESK port when its first four characters are VESK, in any case.
BOOL IsVeskPort(LPCWSTR name);
// Removes one trailing colon in place.
void VeskRemoveColon(LPWSTR name);

void VeskEnterSplSem();
void VeskLeaveSplSem();

// The caller holds SpoolerSection for these.
PortEntry* VeskFindIniKey(PortEntry* first, LPCWSTR name);
PortEntry* VeskCreatePortEntry(PortList* list, LPCWSTR name);
BOOL VeskDeletePortEntry(PortList* list, LPCWSTR name);

// Builds a list from the key names of "Vesk Ports" (every key that is a VESK port, in the
// profile's order). Null when the section is missing or empty, too large, or memory ran out.
PortList* LoadPortList();
// Frees a list and all its entries. A job still open has its device closed, but its printer
// handle is left alone: this also runs while the library is being unloaded, when calling into
// the spooler is not safe (Shutdown ends the jobs properly first).
void FreePortList(PortList* list);
// Frees a list whose jobs have ended, except the entries the spooler still holds open: those
// are taken out of the list and marked PORT_FLAG_SHUT_DOWN, to go with their last ClosePort.
void ReleasePortList(PortList* list);
// Frees one entry that is in no list (its job ended).
void FreePortEntry(PortEntry* entry);
