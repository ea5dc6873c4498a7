// setup's command line as a deployment tool writes it: what each option chooses, and every
// kind of fault named before anything could change.
#include <gtest/gtest.h>

#include "command_options.h"
#include "model_catalogue.h"
#include "quiet_front_end.h"

namespace {

struct Parsed {
    bool valid;
    SetupOptions options;
    std::string error;
};

Parsed Parse(const std::wstring& arguments) {
    ModelCatalogue models;
    EXPECT_TRUE(BuildModelCatalogue(models));
    Parsed parsed;
    parsed.valid = ParseSetupOptions(arguments, models, parsed.options, parsed.error);
    return parsed;
}

}  // namespace

TEST(CommandOptions, AQuietInstallationReadsEveryOption) {
    Parsed p = Parse(L"/QUIET /port=com3 /settings=19200,E,7,2 /model=kx240-f "
                     L"/name=\"Front Desk\" /share=FRONT /nodefault /notestpage /noconfirm "
                     L"/replaceprinters /log=\"C:\\logs\\vesk setup.log\"");
    ASSERT_TRUE(p.valid) << p.error;
    const SetupOptions& o = p.options;
    EXPECT_EQ(o.action, SetupAction::Install);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.port, "COM3:");
    EXPECT_EQ(o.settings, "19200,e,7,2");
    EXPECT_EQ(o.model, "Kx240-F") << "the catalogue's spelling";
    EXPECT_EQ(o.name, "Front Desk");
    EXPECT_EQ(o.share, "FRONT");
    EXPECT_TRUE(o.noDefault && o.noTestPage && o.noConfirm && o.replacePrinters);
    EXPECT_EQ(o.logPath, L"C:\\logs\\vesk setup.log");
    EXPECT_TRUE(o.Prepared());

    // The record gets what the wizard's pages would have set.
    InstallChoices choices;
    ASSERT_TRUE(BuildModelCatalogue(choices.gModels));
    ApplySetupOptions(o, choices);
    ASSERT_TRUE(choices.gpModel);
    EXPECT_EQ(choices.gpModel->pName, "Kx240-F");
    EXPECT_EQ(choices.gModelIndex, 1);
    EXPECT_EQ(choices.PrinterInfo.DriverName, "Kx240-F");
    EXPECT_EQ(choices.gstrPort, "COM3:");
    EXPECT_EQ(choices.gstrSettings, "19200,e,7,2");
    EXPECT_EQ(choices.PrinterInfo.PrinterName, "Front Desk");
    EXPECT_EQ(choices.PrinterInfo.ShareName, "FRONT");
    EXPECT_FALSE(choices.gbDefaultPrinter || choices.gbTestPage || choices.gbTalkToPrinter);
}

TEST(CommandOptions, TextThatIsNoOptionKeepsTheWizardAndInstallResumes) {
    for (const wchar_t* arguments : {L"", L"Install", L"install now", L"hello /log=x.log"}) {
        Parsed p = Parse(arguments);
        EXPECT_TRUE(p.valid) << p.error;
        EXPECT_EQ(p.options.action, SetupAction::Install);
        EXPECT_FALSE(p.options.quiet || p.options.Prepared());
    }
    EXPECT_EQ(Parse(L"install").options.action, SetupAction::Resume);
    Parsed removal = Parse(L"/uninstall /quiet /log=C:\\removal.log");
    ASSERT_TRUE(removal.valid) << removal.error;
    EXPECT_EQ(removal.options.action, SetupAction::Remove);
    EXPECT_TRUE(removal.options.quiet);
}

TEST(CommandOptions, EveryFaultIsNamedAndAQuietRunStaysQuiet) {
    const std::wstring good = L" /port=COM1 /settings=9600,n,8,1 /model=Kx310";
    const std::wstring name221(221, L'n');
    struct Case {
        std::wstring arguments;
        const char* named;
    } cases[] = {
        {L"/quiet /bogus" + good, "unknown option /bogus"},
        {L"/quiet" + good + L" stray", "\"stray\" is not an option"},
        {L"install /quiet" + good, "\"install\" is not an option"},
        {L"/quiet" + good + L" /name=Caf\u0101", "cannot keep"},
        {L"/quiet" + good + L" /share=" + std::wstring(81, L's'), "longer than 80"},
        {L"/quiet /port=LPT1 /settings=9600,n,8,1 /model=Kx310", "not a COM port"},
        {L"/quiet /port=COM0 /settings=9600,n,8,1 /model=Kx310", "not a COM port"},
        {L"/quiet /port=COM257 /settings=9600,n,8,1 /model=Kx310", "not a COM port"},
        {L"/quiet /port=COM1 /settings=9601,n,8,1 /model=Kx310", "line settings"},
        {L"/quiet /port=COM1 /settings=9600,x,8,1 /model=Kx310", "line settings"},
        {L"/quiet /port=COM1 /settings=9600,n,8 /model=Kx310", "line settings"},
        {L"/quiet /port=COM1 /settings=9600,n,8,1 /model=Kx999", "not a printer model"},
        {L"/quiet" + good + L" /name=", "name is empty"},
        {L"/quiet" + good + L" /name=" + name221, "longer than 220"},
        {L"/quiet" + good + L" /name=a,b", "may not hold"},
        {L"/quiet" + good + L" /share=a/b", "may not hold"},
        {L"/quiet" + good + L" /port=COM2", "given twice"},
        {L"/quiet" + good + L" /nodefault=yes", "takes no value"},
        {L"/quiet" + good + L" /log", "needs a value"},
        {L"/quiet /port=COM1 /model=Kx310", "/quiet needs"},
        {L"/uninstall /quiet /model=Kx310", "/uninstall takes no options"},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.arguments);
        EXPECT_FALSE(p.valid) << c.named;
        EXPECT_NE(p.error.find(c.named), std::string::npos) << p.error;
        EXPECT_TRUE(p.options.quiet) << "a fault must not turn a quiet run into one that asks";
    }
    // The longest values and the last COM port are taken.
    Parsed longest = Parse(L"/quiet /port=COM256 /settings=57600,o,7,2 /model=Kx120 /name=" +
                           std::wstring(220, L'n') + L" /share=" + std::wstring(80, L's'));
    EXPECT_TRUE(longest.valid) << longest.error;
    EXPECT_EQ(longest.options.port, "COM256:");
    // The log given holds the fault even when an option before it is wrong.
    Parsed p = Parse(L"/bogus /log=C:\\x.log");
    EXPECT_FALSE(p.valid);
    EXPECT_EQ(p.options.logPath, L"C:\\x.log");
}

// The answers a quiet run gives in place of a person, as the README states them.
TEST(QuietPolicy, EveryQuestionHasTheStatedAnswer) {
    for (bool replace : {false, true}) {
        QuietFrontEnd quiet(replace);
        EXPECT_EQ(quiet.AskQuestion(InstallQuestion::ReplacePrinter, "replace?", MB_YESNO), replace ? IDYES : IDNO);
        EXPECT_EQ(quiet.StopReason(), replace ? "" : kKeptPrintersReason);
    }
    QuietFrontEnd quiet(false);
    EXPECT_EQ(quiet.AskQuestion(InstallQuestion::UnreachablePrinter, "?", MB_OKCANCEL), IDCANCEL);
    COMMCONFIG config{};
    EXPECT_FALSE(quiet.AskPortSettings("COM1:", config)) << "a quiet run cannot know the printer's settings";
    EXPECT_EQ(quiet.StopReason(), kUnreachableReason);
    EXPECT_EQ(quiet.AskQuestion(InstallQuestion::ChargerPresent, "?", MB_OKCANCEL), IDCANCEL);
    EXPECT_FALSE(quiet.RestartDeclined());
    EXPECT_EQ(quiet.AskQuestion(InstallQuestion::Restart, "?", MB_YESNO), IDNO);
    EXPECT_TRUE(quiet.RestartDeclined());
    EXPECT_EQ(quiet.AskQuestion(InstallQuestion::RemovePrinters, "?", MB_YESNO), IDYES);
    // A question without a policy is declined; a message only acknowledged.
    EXPECT_EQ(quiet.AskQuestion(InstallQuestion::Notice, "?", MB_YESNO), IDNO);
    EXPECT_EQ(quiet.AskQuestion(InstallQuestion::Notice, "?", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(quiet.AskQuestion(InstallQuestion::Notice, "!", MB_OK | MB_ICONERROR), IDOK);
}
