// The port settings dialog: the user enters the line settings the printer uses at present
// (its self-test page shows them) when it did not answer at the chosen ones. "Proceed" puts
// them into the caller's communications configuration.
#pragma once

#include <windows.h>

#include <string>

#include "dialog.h"

// The configuration the dialog fills: a COMMCONFIG of the serial provider, 52 bytes.
inline constexpr DWORD kCommConfigSize = 52;
static_assert(sizeof(COMMCONFIG) == kCommConfigSize, "COMMCONFIG keeps its 52-byte layout");

class CPortSettingsDlg : public CDialog {
public:
    // `portName` as COM1 (a trailing colon is dropped); `config` may be null.
    CPortSettingsDlg(const char* portName, COMMCONFIG* config, HWND parent = nullptr);

    INT_PTR DoModal() { return CDialog::DoModal(m_parent); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    const MessageMap* GetMessageMap() const override;

private:
    void SelectFromDcb(const DCB& dcb);
    void OnRestoreDefaults();

    std::string m_strPortName;
    COMMCONFIG* m_pConfig;
    HWND m_parent;
};

// The text a DCB value shows in the dialog's lists.
const char* BaudRateText(DWORD baudRate);
const char* ParityText(BYTE parity);
const char* StopBitsText(BYTE stopBits);
