#include "quiet_front_end.h"

int QuietFrontEnd::Ask(const std::string&, UINT type) {
    return DecliningAnswer(type);
}

int QuietFrontEnd::AskQuestion(InstallQuestion kind, const std::string& text, UINT type) {
    switch (kind) {
    case InstallQuestion::ReplacePrinter:
        if (replacePrinters_) return IDYES;
        stopReason_ = kKeptPrintersReason;
        return IDNO;
    case InstallQuestion::UnreachablePrinter:
        // Cancel asks for the printer's present settings, which a quiet run does not know.
        stopReason_ = kUnreachableReason;
        return IDCANCEL;
    case InstallQuestion::ChargerPresent:
        stopReason_ = kChargerReason;
        return IDCANCEL;
    case InstallQuestion::Restart:
        restartDeclined_ = true;
        return IDNO;
    case InstallQuestion::RemovePrinters:
        return IDYES;
    case InstallQuestion::Notice:
        break;
    }
    return Ask(text, type);
}

bool QuietFrontEnd::AskPortSettings(const std::string&, COMMCONFIG&) {
    return false;
}
