// The setup medium as it stood when setup started. The medium often sits in a folder that
// others may write (a download folder, a stick, a share); setup runs elevated and copies the
// medium's files into the program files folder only when the installation starts, perhaps
// minutes later. Every file it will copy is opened when setup starts and held open, with
// nobody else allowed to write, rename or delete it, and the copy is read from those open
// files: a file replaced, or a folder renamed and planted, in between is never what is
// copied.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The deepest folder of the medium that is taken; the medium nests two levels.
inline constexpr int kMaxMediumDepth = 4;

class MediumSnapshot {
public:
    MediumSnapshot() = default;
    ~MediumSnapshot();
    MediumSnapshot(const MediumSnapshot&) = delete;
    MediumSnapshot& operator=(const MediumSnapshot&) = delete;

    // Opens the running program `program` (held as `programName`), the file `licence` and
    // every file of the folder `family` with its sub-folders (both relative to `medium`, which
    // ends in "\"). What cannot be opened is remembered with the reason, for the copy to report.
    void Take(const std::wstring& medium, const std::wstring& program, const std::wstring& programName,
              const std::wstring& licence, const std::wstring& family);
    bool Taken() const { return m_taken; }
    const std::wstring& Medium() const { return m_medium; }

    // Writes every file taken into `copy` (ending in "\") under its place in the medium,
    // creating the folders. The licence only shows: one that could not be taken is left out.
    // 0, or the reason the first file failed with `failedPath` naming the file in the copy.
    DWORD WriteTo(const std::wstring& copy, std::wstring& failedPath) const;

private:
    struct HeldFile {
        std::wstring relative;  // its place below the medium
        HANDLE handle = INVALID_HANDLE_VALUE;
        DWORD error = 0;        // why it could not be opened
        bool optional = false;
    };
    void Hold(const std::wstring& path, const std::wstring& relative, bool optional);
    void HoldFolder(const std::wstring& relative, int depth);
    void Release();

    bool m_taken = false;
    std::wstring m_medium;
    std::vector<HeldFile> m_files;
};
