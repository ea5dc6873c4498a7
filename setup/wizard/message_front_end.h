// A front end of message boxes alone, for a run that needs a person's answer but not the
// wizard: the removal of the installation started from Programs and Features.
#pragma once

#include "install_front_end.h"

class MessageFrontEnd : public InstallFrontEnd {
public:
    int Ask(const std::string& text, UINT type) override;
    bool AskPortSettings(const std::string& portName, COMMCONFIG& config) override;
    void Progress(InstallProgress) override {}
};
