#include "medium_snapshot.h"

namespace {

// The piece a held file is copied in.
constexpr DWORD kCopyChunkBytes = 64u << 10;

// Creates each folder of `relative` (ending in "\") below `root`, a level at a time.
void CreateFolders(const std::wstring& root, const std::wstring& relative) {
    for (size_t at = relative.find(L'\\'); at != std::wstring::npos; at = relative.find(L'\\', at + 1))
        CreateDirectoryW((root + relative.substr(0, at + 1)).c_str(), nullptr);
}

DWORD CopyFromHandle(HANDLE from, const std::wstring& to) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return GetLastError();
    HANDLE target = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) return GetLastError();
    std::vector<char> chunk(kCopyChunkBytes);
    DWORD error = 0;
    for (;;) {
        DWORD read = 0, written = 0;
        if (!ReadFile(from, chunk.data(), kCopyChunkBytes, &read, nullptr)) {
            error = GetLastError();
            break;
        }
        if (read == 0) break;
        if (!WriteFile(target, chunk.data(), read, &written, nullptr) || written != read) {
            error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
            break;
        }
    }
    CloseHandle(target);
    if (error) DeleteFileW(to.c_str());
    return error;
}

}  // namespace

MediumSnapshot::~MediumSnapshot() {
    Release();
}

void MediumSnapshot::Release() {
    for (HeldFile& file : m_files)
        if (file.handle != INVALID_HANDLE_VALUE) CloseHandle(file.handle);
    m_files.clear();
    m_taken = false;
}

void MediumSnapshot::Hold(const std::wstring& path, const std::wstring& relative, bool optional) {
    HeldFile file;
    file.relative = relative;
    file.optional = optional;
    // Read sharing only: while setup holds the file nobody writes, renames or deletes it.
    file.handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file.handle == INVALID_HANDLE_VALUE) file.error = GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
    m_files.push_back(std::move(file));
}

void MediumSnapshot::HoldFolder(const std::wstring& relative, int depth) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((m_medium + relative + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        HeldFile missing;
        missing.relative = relative;
        missing.error = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        m_files.push_back(std::move(missing));
        return;
    }
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        // Links to elsewhere are not followed: the copy holds what the medium itself holds.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        // What the shell keeps beside a folder's files (thumbnails, folder settings) is never
        // installed, and may be held open by others.
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth < kMaxMediumDepth) HoldFolder(relative + name + L"\\", depth + 1);
        } else {
            Hold(m_medium + relative + name, relative + name, false);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

void MediumSnapshot::Take(const std::wstring& medium, const std::wstring& program,
                          const std::wstring& programName, const std::wstring& licence,
                          const std::wstring& family) {
    Release();
    m_medium = medium;
    m_taken = true;
    Hold(program, programName, false);
    if (!licence.empty()) Hold(medium + licence, licence, true);
    if (!family.empty()) HoldFolder(family, 0);
}

DWORD MediumSnapshot::WriteTo(const std::wstring& copy, std::wstring& failedPath) const {
    if (!CreateDirectoryW(copy.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        failedPath = copy;
        return GetLastError();
    }
    for (const HeldFile& file : m_files) {
        if (file.handle == INVALID_HANDLE_VALUE && file.optional) continue;
        failedPath = copy + file.relative;
        if (file.handle == INVALID_HANDLE_VALUE) return file.error;
        CreateFolders(copy, file.relative);
        if (DWORD error = CopyFromHandle(file.handle, copy + file.relative)) return error;
    }
    failedPath.clear();
    return 0;
}
