// Opening a link's address for the person at the desktop. setup runs with an administrator's
// full token; a browser or mail program that the shell starts from this process would run
// with it, and with it whatever the page or the mail then opens. While this process is
// elevated the address is handed to the shell's desktop process, which runs as the
// logged-on user; where that cannot be had, it is not opened at all.
#pragma once

// True when this process holds an elevated token (Windows Vista and later, run as
// administrator). Earlier Windows have no elevation: a program runs with its user's token.
bool RunsElevated();

// The two ways an address reaches the shell: from this process, and through the desktop's
// shell process (false when it cannot be reached; the system's own route answers only whether
// it could start asking, on a thread of its own that nothing waits for). Replaceable, so that
// tests see which one is taken without starting a browser; null members restore the system's.
struct ShellRoutes {
    void (*fromThisProcess)(const char* address) = nullptr;
    bool (*throughDesktopShell)(const char* address) = nullptr;
};
ShellRoutes ReplaceShellRoutes(const ShellRoutes& routes);

// Opens `address` (a web address or "mailto:...") as the logged-on user, or not at all.
void OpenLinkAsDesktopUser(const char* address);
