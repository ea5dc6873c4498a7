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
// Texts too short for their lines: one beside another, a button beside them, a box around a
// third, and a button below everything (FitDialogTexts).
#define IDD_SHORT_TEXTS 920
#define IDC_TEXT_FOUR_LINES 921
#define IDC_TEXT_TWO_LINES 922
#define IDC_BESIDE 923
#define IDC_BOX 924
#define IDC_TEXT_IN_BOX 925
#define IDC_BELOW 926
// Wizard pages larger than the frame: one that fits the screen, one that does not.
#define IDD_LARGE_PAGE 930
#define IDD_HUGE_PAGE 931
