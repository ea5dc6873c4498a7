// Drives real dialogs of the test's own process from a helper thread, as a person would:
// finds a dialog by its caption, reads its texts, picks combo box items by their label and
// clicks buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vt {

// Waits for a visible dialog of this process whose caption contains `caption`.
HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs);
// All texts of the dialog's children, joined by newlines.
std::wstring DialogTexts(HWND dialog);
// Clicks the button with this identifier (IDOK, IDYES, ...).
bool ClickButton(HWND dialog, int id);
// Selects `item` in the combo box that follows the static text `label`.
bool SelectByLabel(HWND dialog, const std::wstring& label, const std::wstring& item);

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
