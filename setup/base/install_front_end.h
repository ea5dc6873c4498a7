// The person an installation asks and tells, as the engine sees it: the wizard on the screen,
// the step runner on its output, a test's record. The engine shows no window of its own;
// every question, message and dialog it needs goes through this interface, to the front end
// of the run in progress.
#pragma once

#include <windows.h>

#include <string>

// Where a run stands, for a front end that shows it.
enum class InstallProgress { Started, Ended };

// What a question is about, for a front end that answers by a policy rather than by a person.
enum class InstallQuestion {
    Notice,              // a message with an OK button, or a question without a policy
    ReplacePrinter,      // delete an earlier printer of the models (Yes/No; No stops the run)
    UnreachablePrinter,  // go on although the printer did not answer (OK), or re-enter (Cancel)
    ChargerPresent,      // the charger was taken off (OK), or give up (Cancel)
    Restart,             // restart Windows now (Yes/No)
    RemovePrinters,      // remove the installation and the printers named (Yes/No)
};

class InstallFrontEnd {
public:
    virtual ~InstallFrontEnd() = default;
    // Shows `text` with the buttons of `type` (MB_OK, MB_OKCANCEL or MB_YESNO, perhaps with an
    // icon); returns the button pressed (IDOK, IDCANCEL, IDYES or IDNO).
    virtual int Ask(const std::string& text, UINT type) = 0;
    // The same for a question of a known kind; a person reads the text, a policy the kind.
    virtual int AskQuestion(InstallQuestion kind, const std::string& text, UINT type) {
        (void)kind;
        return Ask(text, type);
    }
    // Shows `text` with an OK button.
    void Tell(const std::string& text) { Ask(text, MB_OK); }
    // Asks for the line settings the printer on `portName` ("COM1:") uses at present, into
    // `config`; false when the person gives up.
    virtual bool AskPortSettings(const std::string& portName, COMMCONFIG& config) = 0;
    // The run has started, or has ended.
    virtual void Progress(InstallProgress progress) = 0;
};

// The answer that does nothing on a question nobody read: No, Cancel, or OK for a message.
int DecliningAnswer(UINT type);

// The front end the engine's steps talk to while this object lives; the one before comes
// back when it ends. Steps called outside any such scope talk to nobody: every question is
// answered with Cancel or No, and the messages are lost.
class FrontEndScope {
public:
    explicit FrontEndScope(InstallFrontEnd& frontEnd);
    ~FrontEndScope();
    FrontEndScope(const FrontEndScope&) = delete;
    FrontEndScope& operator=(const FrontEndScope&) = delete;

private:
    InstallFrontEnd* previous_;
};

// The front end of the run in progress.
InstallFrontEnd& CurrentFrontEnd();
