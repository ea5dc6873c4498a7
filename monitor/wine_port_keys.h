// Wine's spooler finds the monitor that owns a port only through the registry key
// HKLM\System\CurrentControlSet\Control\Print\Monitors\<monitor>\Ports\<port>; Windows asks
// the monitor's port enumeration instead. Under Wine the monitor keeps those keys in step
// with its port list; on Windows these calls do nothing.
#pragma once

#include <windows.h>

#include "port_list.h"

// Adds the key of every port in the list and removes keys of ports that are gone.
void MirrorPortKeys(const PortList* list);
void MirrorPortAdded(LPCWSTR name);
void MirrorPortRemoved(LPCWSTR name);
