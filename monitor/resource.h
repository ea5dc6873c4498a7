// Resource identifiers of veskmon.
#pragma once

#define IDS_PORT_DESCRIPTION 500
#define IDS_MONITOR_NAME 507
