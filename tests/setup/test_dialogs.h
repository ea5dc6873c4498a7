// Dialog templates the setup tests add to setup's own.
#pragma once

// A plain wizard page standing in for a page whose class comes later.
#define IDD_STAND_IN_PAGE 900
#define IDC_STAND_IN_TEXT 901
// A dialog holding statics to turn into links and tinted labels.
#define IDD_LINK_HOST 910
#define IDC_LINK_A 911
#define IDC_LINK_B 912
#define IDC_LINK_C 913
#define IDC_LABEL 914
#define IDC_PLAIN 915
#define IDC_HEADER 916
