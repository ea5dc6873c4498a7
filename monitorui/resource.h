// Resource identifiers of veskmonui.
#pragma once

#define IDD_CONFIGURE_PORT 200
#define IDD_PORT_NAME 201
#define IDC_COM_PORTS 1000
#define IDC_PORT_NAME 202

#define IDS_CAPTION 300
#define IDS_INVALID_PORT_NAME 301
#define IDS_PORT_EXISTS 302
#define IDS_NOTHING_TO_CONFIGURE 303
