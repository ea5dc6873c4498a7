// Drives real dialogs of the test's own process from a helper thread, as a person would:
// finds a dialog by its caption, reads its texts, picks combo box items by their label and
// clicks buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vt {

// Waits for a visible dialog of this process whose caption contains `caption`.
HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs);
// All texts of the dialog's children, joined by newlines.
std::wstring DialogTexts(HWND dialog);
// Clicks the button with this identifier (IDOK, IDYES, ...).
bool ClickButton(HWND dialog, int id);
// Selects `item` in the combo box that follows the static text `label`.
bool SelectByLabel(HWND dialog, const std::wstring& label, const std::wstring& item);
// Types `text` into control `id` key by key, as a person does (the field's limit applies).
void TypeKeys(HWND dialog, int id, const std::wstring& text);
// The items of combo box `id`; `selected` (when given) receives the selected index.
std::vector<std::wstring> ComboItems(HWND dialog, int id, int* selected = nullptr);

// Runs `script` on a thread of its own; Join waits for it and tells whether it finished.
class DialogScript {
public:
    explicit DialogScript(std::function<void()> script);
    ~DialogScript();
    bool Join(DWORD timeoutMs);

private:
    std::function<void()> script_;
    HANDLE thread_ = nullptr;
};

}  // namespace vt
