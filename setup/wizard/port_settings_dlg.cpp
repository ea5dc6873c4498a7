#include "port_settings_dlg.h"

#include <cstdio>

#include "line_setting_boxes.h"
#include "resource.h"
#include "window_fit.h"

namespace {

// Rates a DCB may carry; any other shows as 9600.
const DWORD kKnownRates[] = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                             19200, 38400, 56000, 57600, 115200, 128000, 256000};
const char* const kKnownRateTexts[] = {"110",   "300",   "600",   "1200",   "2400",
                                       "4800",  "9600",  "14400", "19200",  "38400",
                                       "56000", "57600", "115200", "128000", "256000"};
static_assert(std::size(kKnownRates) == std::size(kKnownRateTexts));

void SelectOr(HWND dialog, int id, const char* text, const char* fallback) {
    HWND combo = GetDlgItem(dialog, id);
    if (!SelectByText(combo, text)) SelectByText(combo, fallback);
}

}  // namespace

const char* BaudRateText(DWORD baudRate) {
    for (size_t i = 0; i < std::size(kKnownRates); ++i)
        if (kKnownRates[i] == baudRate) return kKnownRateTexts[i];
    return "9600";
}

const char* ParityText(BYTE parity) {
    switch (parity) {
    case ODDPARITY: return "Odd";
    case EVENPARITY: return "Even";
    case MARKPARITY: return "Mark";
    case SPACEPARITY: return "Space";
    default: return "None";
    }
}

const char* StopBitsText(BYTE stopBits) {
    switch (stopBits) {
    case ONE5STOPBITS: return "1.5";
    case TWOSTOPBITS: return "2";
    default: return "1";
    }
}

CPortSettingsDlg::CPortSettingsDlg(const char* portName, COMMCONFIG* config, HWND parent)
    : CDialog(IDD_PORT_SETTINGS_DLG), m_strPortName(portName ? portName : ""), m_pConfig(config),
      m_parent(parent) {
    // The caption shows the port's name without the colon of its profile entry.
    if (!m_strPortName.empty() && m_strPortName.back() == ':') m_strPortName.pop_back();
}

const MessageMap* CPortSettingsDlg::GetMessageMap() const {
    static const MessageEntry entries[] = {
        OnClicked<&CPortSettingsDlg::OnRestoreDefaults>(IDC_RESTORE_DEFAULTS),
    };
    static const MessageMap map(CDialog::GetMessageMap(), entries);
    return &map;
}

BOOL CPortSettingsDlg::OnInitDialog() {
    FitDialogTexts(m_hWnd);
    SetWindowTextA(m_hWnd, m_strPortName.c_str());
    FillLineSettingBoxes(m_hWnd);
    if (!m_pConfig) {
        SelectLineDefaults(m_hWnd);
        return TRUE;
    }
    SelectFromDcb(m_pConfig->dcb);
    return TRUE;
}

void CPortSettingsDlg::SelectFromDcb(const DCB& dcb) {
    SelectOr(m_hWnd, IDC_BAUD_RATE, BaudRateText(dcb.BaudRate), "9600");
    SelectOr(m_hWnd, IDC_PARITY, ParityText(dcb.Parity), "None");
    SelectOr(m_hWnd, IDC_STOP_BITS, StopBitsText(dcb.StopBits), "1");
    char bits[4];
    std::snprintf(bits, sizeof bits, "%u", static_cast<unsigned>(dcb.ByteSize));
    SelectOr(m_hWnd, IDC_DATA_BITS, bits, "8");
}

void CPortSettingsDlg::OnRestoreDefaults() {
    SelectLineDefaults(m_hWnd);
}

void CPortSettingsDlg::OnOK() {
    std::string settings = LineSettingsText(m_hWnd);
    if (m_pConfig) {
        m_pConfig->dwSize = kCommConfigSize;
        m_pConfig->dwProviderSubType = PST_RS232;
        DWORD size = kCommConfigSize;
        GetDefaultCommConfigA(m_strPortName.c_str(), m_pConfig, &size);
        m_pConfig->dcb.DCBlength = sizeof(DCB);
        BuildCommDCBA(settings.c_str(), &m_pConfig->dcb);
    }
    EndDialog(IDOK);
}
