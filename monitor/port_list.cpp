// The port list: creation, lookup and removal of entries, and loading from the profile.
#include "port_list.h"

#include "../common/profile.h"
#include "../common/text.h"
#include "../serial/settings.h"
#include "job_flow.h"
#include "line_ops.h"
#include "monitor_state.h"
#include "spl_mem.h"

BOOL IsVeskPort(LPCWSTR name) {
    return name && vesk::EqualPrefixNoCase(name, L"VESK", 4);
}

void VeskRemoveColon(LPWSTR name) {
    if (name) vesk::RemoveTrailingColon(name);
}

void VeskEnterSplSem() {
    EnterCriticalSection(&SpoolerSection);
}

void VeskLeaveSplSem() {
    LeaveCriticalSection(&SpoolerSection);
}

PortEntry* VeskFindIniKey(PortEntry* first, LPCWSTR name) {
    if (!name) return nullptr;
    for (PortEntry* e = first; e; e = e->pNext)
        if (lstrcmpiW(e->pName, name) == 0) return e;
    return nullptr;
}

PortEntry* VeskCreatePortEntry(PortList* list, LPCWSTR name) {
    DWORD len = vesk::Length(name);
    if (!list || !name || len > kMaxPortNameChars) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    DWORD size = sizeof(PortEntry) + (len + 1) * sizeof(WCHAR);
    auto* entry = static_cast<PortEntry*>(AllocSplMem(size));
    if (!entry) return nullptr;

    entry->Signature = kPortEntrySignature;
    entry->Size = size;
    entry->pName = reinterpret_cast<LPWSTR>(entry + 1);
    CopyMemory(entry->pName, name, (len + 1) * sizeof(WCHAR));
    entry->hFile = INVALID_HANDLE_VALUE;
    entry->pList = list;

    PortEntry** link = &list->pFirst;
    while (*link) link = &(*link)->pNext;
    *link = entry;
    return entry;
}

BOOL VeskDeletePortEntry(PortList* list, LPCWSTR name) {
    if (!list || !name) return FALSE;
    for (PortEntry** link = &list->pFirst; *link; link = &(*link)->pNext) {
        PortEntry* e = *link;
        if (lstrcmpiW(e->pName, name) == 0) {
            *link = e->pNext;
            GlobalFree(e);
            return TRUE;
        }
    }
    return FALSE;
}

PortList* LoadPortList() {
    vesk::ProfileText<WCHAR> keys;
    if (!vesk::ReadProfileGrowing<WCHAR>(VESK_PORTS_SECTION, nullptr, 2048, keys)) return nullptr;

    auto* list = static_cast<PortList*>(AllocSplMem(sizeof(PortList)));
    if (!list) return nullptr;
    list->Signature = kPortListSignature;

    const WCHAR* names = keys.text();
    for (DWORD pos = 0; pos < keys.chars && names[pos];) {
        LPCWSTR key = names + pos;
        // A key that cannot become an entry is skipped; the others still load.
        if (IsVeskPort(key)) VeskCreatePortEntry(list, key);
        pos += vesk::Length(key) + 1;
    }
    return list;
}

void FreePortList(PortList* list) {
    if (!list) return;
    for (PortEntry* e = list->pFirst; e;) {
        PortEntry* next = e->pNext;
        if (e->pFlow)
            StopJobFlow(e->pFlow);  // the flow closes the device
        else if (e->hFile && e->hFile != INVALID_HANDLE_VALUE)
            Line().close(e->hFile);
        if (e->pPrinterName) GlobalFree(e->pPrinterName);
        GlobalFree(e);
        e = next;
    }
    GlobalFree(list);
}

void FreePortEntry(PortEntry* entry) {
    if (entry->pPrinterName) GlobalFree(entry->pPrinterName);
    entry->Signature = 0;
    GlobalFree(entry);
}

void ReleasePortList(PortList* list) {
    if (!list) return;
    PortEntry* unheld = nullptr;
    VeskEnterSplSem();
    for (PortEntry* e = list->pFirst; e;) {
        PortEntry* next = e->pNext;
        e->pList = nullptr;
        if (e->OpenCount) {
            // The spooler's handle: it stays valid until the spooler closes it.
            e->Status |= PORT_FLAG_SHUT_DOWN;
            e->pNext = nullptr;
        } else {
            e->pNext = unheld;
            unheld = e;
        }
        e = next;
    }
    list->pFirst = nullptr;
    VeskLeaveSplSem();
    while (PortEntry* e = unheld) {
        unheld = e->pNext;
        FreePortEntry(e);
    }
    GlobalFree(list);
}
