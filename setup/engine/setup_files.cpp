#include <windows.h>

#include "setup_files.h"

#include "resource.h"
#include "string_table.h"
#include "windows_family.h"

bool SystemDirectory(std::string& directory) {
    char buffer[kSystemDirectoryChars];
    UINT chars = GetSystemDirectoryA(buffer, kSystemDirectoryChars);
    if (chars == 0 || chars >= kSystemDirectoryChars) {
        directory.clear();
        return false;
    }
    directory.assign(buffer, chars);
    if (directory.back() != '\\' && directory.size() + 1 < kSystemDirectoryChars) directory += '\\';
    return true;
}

std::string WithBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

std::string SetupFileSource(const std::string& sourceFolder, const std::string& fileName) {
    char start[4] = {};
    lstrcpynA(start, fileName.c_str(), sizeof(start));
    CharLowerBuffA(start, lstrlenA(start));
    std::string source = sourceFolder;
    if (std::string(start) == "uni" && WindowsFamily() != kWin98Family)
        source += ResourceString(IDS_UNIDRV_FOLDER);
    return source + fileName;
}

bool CopySetupFile(const std::string& sourceFolder, const std::string& fileName,
                   const std::string& targetFolder) {
    std::string source = SetupFileSource(sourceFolder, fileName);
    std::string target = targetFolder + fileName;
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != FALSE;
}

std::string CopyFailureText(const std::string& sourceFolder, const std::string& fileName) {
    return "Could not copy file " + sourceFolder + fileName;
}

bool FileInUse(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_USER_MAPPED_FILE;
}
