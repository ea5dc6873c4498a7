// setup.exe: the installation wizard for Vesk receipt printers, and its runs without the
// wizard for the tools that deploy software to many machines.
#include <windows.h>

#include <string>

#include "command_options.h"
#include "desktop.h"
#include "exit_codes.h"
#include "file_version.h"
#include "library_search.h"
#include "message_box.h"
#include "message_front_end.h"
#include "model_catalogue.h"
#include "quiet_front_end.h"
#include "removal_run.h"
#include "saved_state.h"
#include "setup_app.h"
#include "setup_log.h"
#include "start_up.h"
#include "system_error_text.h"
#include "unattended_run.h"

// A build for the tests acts as a system without SetDefaultDllDirectories.
#ifdef VESK_WITHOUT_DEFAULT_DLL_DIRECTORIES
constexpr bool kUseDefaultDllDirectories = false;
#else
constexpr bool kUseDefaultDllDirectories = true;
#endif

namespace {

constexpr char kBadCommandLineText[] = "The command line is not valid:\n";
constexpr char kNobodySeesText[] =
    "setup was started where nobody can see its windows (a service's session): nothing was "
    "changed; start it with /quiet there";
constexpr char kNotElevatedText[] =
    "setup was not started with administrator rights: nothing was changed";

int Finish(int code) {
    CloseSetupLog("exit code " + std::to_string(code));
    return code;
}

int RunSetup(HINSTANCE instance) {
    const wchar_t* commandLine = GetCommandLineW();
    // The options are checked before anything changes; the model is checked against the
    // catalogue the installation will use.
    ModelCatalogue models;
    BuildModelCatalogue(models);
    SetupOptions options;
    std::string error;
    bool valid = ParseSetupOptions(CommandLineArguments(commandLine), models, options, error);
    // A resume of a quiet installation goes on as quietly, into the log it began with.
    std::string savedLog;
    if (options.action == SetupAction::Resume &&
        SavedStateIsQuiet(SavedStateFileName(ModuleFilePath()), savedLog)) {
        options.quiet = true;
        options.logPath = FromAnsi(savedLog);
    }
    const bool namedLog = !options.logPath.empty();
    DWORD logError = 0;
    const std::string version = VersionText(RunningProgramVersion());
    if (!OpenSetupLog(namedLog ? options.logPath : DefaultLogPath(), version, commandLine, logError) &&
        namedLog) {
        // A resume keeps going into the default log; a log named on the command line that
        // cannot be written is a fault of the command line.
        if (options.action == SetupAction::Resume)
            OpenSetupLog(DefaultLogPath(), version, commandLine, logError);
        else if (valid) {
            valid = false;
            error = "/log: the log cannot be written there: " + SystemErrorText(logError);
        }
    }
    // Nobody could answer a window there: the run would wait for ever.
    if (!options.quiet && !DesktopVisible()) {
        LogLine(valid ? kNobodySeesText : "bad command line: " + error);
        return Finish(valid ? kExitFailed : kExitBadCommandLine);
    }
    if (!valid) {
        LogLine("bad command line: " + error);
        if (!options.quiet)
            SetupMessageBox(nullptr, (kBadCommandLineText + error).c_str(), MB_OK | MB_ICONERROR);
        return Finish(kExitBadCommandLine);
    }
    KeepCommandOptions(options);
    if (options.quiet && !MayInstall()) {
        LogLine(kNotElevatedText);
        return Finish(kExitNotElevated);
    }
    if (options.action == SetupAction::Remove) {
        if (options.quiet) {
            QuietFrontEnd quiet(false);
            return Finish(RunRemoval(quiet));
        }
        MessageFrontEnd boxes;
        return Finish(RunRemoval(boxes));
    }
    if (options.quiet) {
        BeginSetupRun(GetCommandLineA());
        return Finish(options.action == SetupAction::Resume ? ResumeQuietInstallation()
                                                            : RunQuietInstallation(options));
    }
    CSetupApp app(instance);
    app.InitInstance(GetCommandLineA());
    return Finish(app.ExitCode());
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything is loaded by name: this program runs elevated from a folder that others
    // may write to, and what the loader would find there first must never be loaded.
    RestrictSetupLibrarySearch(kUseDefaultDllDirectories);
    return RunSetup(instance);
}
