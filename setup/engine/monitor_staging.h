// A monitor update that cannot leave the machine without its monitor: the medium's libraries
// are copied beside the installed ones under temporary names and checked first; only then are
// they put in place, each installed file kept under a second name until all are in, so that a
// failure puts back what was there.
#pragma once

#include <string>
#include <vector>

// The names a staged copy and a replaced file carry beside their target while the update runs.
inline constexpr char kStagedSuffix[] = ".vesknew";
inline constexpr char kReplacedSuffix[] = ".veskold";
// Shown when a staged copy is not the medium's file (a read error, or a file that changed).
inline constexpr char kStagedCopyDiffersText[] =
    "The copy of a file from the setup medium is damaged or the file changed while it was "
    "read. Nothing was changed on this computer. Please try again:";

// Added to a failed update's message for each installed file that could not be put back.
inline constexpr char kNotRestoredText[] = "This file could not be restored:";

class StagedMonitor {
public:
    StagedMonitor() = default;
    // Staged copies that were not put in place are deleted.
    ~StagedMonitor();
    StagedMonitor(const StagedMonitor&) = delete;
    StagedMonitor& operator=(const StagedMonitor&) = delete;

    // Copies `files` from `sourceFolder` beside their targets in `targetFolder` (both ending in
    // "\") and checks each copy against the medium's file. False, with the reason shown, when
    // one cannot be copied or differs; the installed files are untouched.
    bool Stage(const std::string& sourceFolder, const std::vector<std::string>& files,
               const std::string& targetFolder);
    bool Staged() const { return !m_files.empty(); }
    // The staged copy of `file` (one of the files staged).
    std::string StagedPath(const std::string& file) const;
    // Puts the staged copies in place of the installed files. False, with the reason shown,
    // when one cannot be: the installed files are then put back, and Restored() says whether
    // every one of them could be.
    bool SwapIn();
    bool Restored() const { return m_restored; }
    // Deletes the staged copies.
    void Discard();

private:

    std::string m_folder;
    std::vector<std::string> m_files;
    bool m_restored = true;
};

// Stages the running family's monitor libraries from the medium in the system directory; the
// staged monitor library must be newer than the installed one, as the medium's was.
bool StageMonitor(StagedMonitor& staged);
