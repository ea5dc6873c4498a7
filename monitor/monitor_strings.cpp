#include "monitor_strings.h"

#include "monitor_state.h"

MonitorString LoadMonitorString(UINT id) {
    MonitorString s{};
    if (LoadStringW(g_hInstance, id, s.text, kStringChars) <= 0) s.text[0] = 0;
    return s;
}
