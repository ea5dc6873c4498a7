#include "install_front_end.h"

namespace {

// Nobody to ask: questions are declined, so nothing is done on an answer nobody gave.
class NoFrontEnd : public InstallFrontEnd {
public:
    int Ask(const std::string&, UINT type) override { return DecliningAnswer(type); }
    bool AskPortSettings(const std::string&, COMMCONFIG&) override { return false; }
    void Progress(InstallProgress) override {}
};

NoFrontEnd g_nobody;
// The installation runs on one thread, the wizard's; so do its scopes.
InstallFrontEnd* g_current = &g_nobody;

}  // namespace

int DecliningAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_YESNO: return IDNO;
    case MB_OKCANCEL: return IDCANCEL;
    default: return IDOK;
    }
}

FrontEndScope::FrontEndScope(InstallFrontEnd& frontEnd) : previous_(g_current) {
    g_current = &frontEnd;
}

FrontEndScope::~FrontEndScope() {
    g_current = previous_;
}

InstallFrontEnd& CurrentFrontEnd() {
    return *g_current;
}
