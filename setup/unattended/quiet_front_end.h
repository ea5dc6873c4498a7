// The front end of a run with no window: nobody reads the questions, so each is answered by
// a policy the administrator chose on the command line, and what stopped the run is kept for
// the log.
#pragma once

#include <string>

#include "install_front_end.h"

// Why a policy's answer stopped a run, for the log and for the administrator who can choose
// otherwise.
inline constexpr char kKeptPrintersReason[] =
    "earlier printers of the models are kept; /replaceprinters deletes them";
inline constexpr char kUnreachableReason[] =
    "the printer did not answer at the settings given; /noconfirm installs without asking it";
inline constexpr char kChargerReason[] =
    "the printer is on its charger and cannot change its settings";

class QuietFrontEnd : public InstallFrontEnd {
public:
    explicit QuietFrontEnd(bool replacePrinters) : replacePrinters_(replacePrinters) {}

    // Messages are only logged; a question without a policy is declined.
    int Ask(const std::string& text, UINT type) override;
    // Earlier printers: replaced only with /replaceprinters. A printer that does not answer:
    // its present settings are not known, so the run stops. The charger: nobody can take it
    // off. Restart now: No (the run ends with the restart code). Removal: Yes.
    int AskQuestion(InstallQuestion kind, const std::string& text, UINT type) override;
    bool AskPortSettings(const std::string& portName, COMMCONFIG& config) override;
    void Progress(InstallProgress) override {}

    // The policy that stopped the run, or "".
    const std::string& StopReason() const { return stopReason_; }
    // The restart question was answered No.
    bool RestartDeclined() const { return restartDeclined_; }

private:
    bool replacePrinters_;
    bool restartDeclined_ = false;
    std::string stopReason_;
};
