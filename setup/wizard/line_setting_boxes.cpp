#include "line_setting_boxes.h"

#include <cctype>

#include "line_choices.h"
#include "resource.h"

namespace {

template <size_t N>
void Fill(HWND dialog, int id, const char* const (&items)[N]) {
    HWND combo = GetDlgItem(dialog, id);
    for (const char* item : items)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

std::string TextOr(HWND dialog, int id, const char* fallback) {
    std::string text = SelectedText(GetDlgItem(dialog, id));
    return text.empty() ? fallback : text;
}

}  // namespace

void FillLineSettingBoxes(HWND dialog) {
    Fill(dialog, IDC_STOP_BITS, kStopBitChoices);
    HWND parity = GetDlgItem(dialog, IDC_PARITY);
    for (const ParityChoice& choice : kParityChoices)
        SendMessageA(parity, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.name));
    Fill(dialog, IDC_DATA_BITS, kDataBitChoices);
    Fill(dialog, IDC_BAUD_RATE, kBaudRateChoices);
}

void SelectLineDefaults(HWND dialog) {
    SelectByText(GetDlgItem(dialog, IDC_BAUD_RATE), "9600");
    SelectByText(GetDlgItem(dialog, IDC_DATA_BITS), "8");
    SelectByText(GetDlgItem(dialog, IDC_PARITY), "None");
    SelectByText(GetDlgItem(dialog, IDC_STOP_BITS), "1");
}

void SelectLineSettings(HWND dialog, const std::string& settings) {
    std::vector<std::string> parts = SettingsParts(settings);
    if (parts.size() != 4 || parts[1].size() != 1) return;
    SelectByText(GetDlgItem(dialog, IDC_BAUD_RATE), parts[0].c_str());
    SelectByText(GetDlgItem(dialog, IDC_DATA_BITS), parts[2].c_str());
    SelectByText(GetDlgItem(dialog, IDC_STOP_BITS), parts[3].c_str());
    for (const ParityChoice& choice : kParityChoices)
        if (choice.letter == std::tolower(static_cast<unsigned char>(parts[1][0])))
            SelectByText(GetDlgItem(dialog, IDC_PARITY), choice.name);
}

bool SelectByText(HWND combo, const char* text) {
    return SendMessageA(combo, CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(text)) != CB_ERR;
}

std::string SelectedText(HWND combo) {
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    length = SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

std::string LineSettingsText(HWND dialog) {
    std::string parity = TextOr(dialog, IDC_PARITY, "n");
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(parity[0])));
    return TextOr(dialog, IDC_BAUD_RATE, "9600") + "," + letter + "," +
           TextOr(dialog, IDC_DATA_BITS, "8") + "," + TextOr(dialog, IDC_STOP_BITS, "1");
}
