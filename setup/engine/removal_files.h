// The files a removal deletes. The spooler keeps the monitor's and the print processor's
// libraries loaded, and the files of a driver it used, until it restarts; the running setup
// cannot delete its own program. What cannot go now is tried again after the spooler's
// restart, and what still cannot go then is deleted by Windows when it next starts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class FileRemoval {
public:
    // Deletes `path`; a file that is not there counts as deleted. One that cannot be deleted
    // now is held for Retry.
    void Delete(const std::wstring& path);
    bool AnyHeld() const { return !held_.empty(); }
    // Tries the held files again.
    void Retry();
    // Schedules every file still held for deletion when Windows starts; `scheduled` is set
    // when there was one. False when one cannot be scheduled, which is shown.
    bool ScheduleHeld(bool& scheduled);

private:
    std::vector<std::wstring> held_;
};

// Schedules `path` (a file, or an empty folder by then) for deletion when Windows starts;
// false, with the reason shown, when it cannot be.
bool DeleteAtRestart(const std::wstring& path);

// Shown, followed by the folder, when a folder in setup's copy nests deeper than the copy
// ever does and still holds something: it is not emptied, and a folder that is not empty
// cannot be deleted when Windows starts either.
inline constexpr char kFolderStaysText[] =
    "This folder of the Vesk printer software could not be emptied and stays; please delete it:";

// Removes setup's copy `folder` (ending in "\") with everything in it; links inside are
// removed, never followed. `runningProgram` cannot be deleted while it runs: when it lies in
// the folder it goes last, once all else has gone or been scheduled, moved out to a name of
// its own beside the folder, and that is deleted when Windows starts, so the folder goes now
// and a reinstallation before the restart is not deleted with it. Where even that move
// fails, the program and the folder are deleted when Windows starts, as is any other file
// that cannot go now; `scheduled` is set when anything but the moved-out program is left to
// that start. False when something can be neither deleted nor scheduled, which is shown; the
// program then stays in the folder.
bool RemoveSetupCopy(const std::wstring& folder, const std::wstring& runningProgram, bool& scheduled);
