#include "file_version.h"

#include "setup_files.h"
#include "start_up.h"
#include "system_error_text.h"

ULONGLONG FileVersion(const std::string& path) {
    return FileVersion(FromAnsi(path));
}

namespace {

// The fixed part of a version resource's data.
ULONGLONG FixedVersion(std::vector<BYTE>& data) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE)
        return 0;
    return (ULONGLONG(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS;
}

}  // namespace

ULONGLONG FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return 0;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return 0;
    return FixedVersion(data);
}

ULONGLONG RunningProgramVersion() {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    DWORD size = found ? SizeofResource(nullptr, found) : 0;
    if (!bytes || size == 0) return 0;
    // The query may write into the data it reads: it gets a copy with room to spare.
    std::vector<BYTE> data(bytes, bytes + size);
    data.resize(size * 2);
    return FixedVersion(data);
}

std::string VersionText(ULONGLONG version) {
    std::string text;
    for (int shift = 48; shift >= 0; shift -= 16) {
        text += std::to_string((version >> shift) & 0xFFFF);
        if (shift) text += '.';
    }
    return text;
}

bool InstalledIsNewer(const std::string& mediumPath, const std::string& installedPath,
                      const std::string& name, KeptFile& kept) {
    ULONGLONG installed = FileVersion(installedPath);
    if (installed == 0) return false;
    ULONGLONG medium = FileVersion(mediumPath);
    if (medium == 0 || installed <= medium) return false;
    kept = {name, installed, medium};
    return true;
}

bool CopySetupFileUnlessOlder(const std::string& sourceFolder, const std::string& fileName,
                              const std::string& targetFolder, std::vector<KeptFile>& kept) {
    KeptFile newer;
    if (InstalledIsNewer(SetupFileSource(sourceFolder, fileName), targetFolder + fileName,
                         fileName, newer)) {
        kept.push_back(newer);
        return true;
    }
    return CopySetupFile(sourceFolder, fileName, targetFolder);
}

std::string MediumOlderText(const std::vector<KeptFile>& kept) {
    std::string text = kMediumOlderText;
    std::vector<std::string> named;
    for (const KeptFile& file : kept) {
        // A family's driver may name one file in several roles.
        bool again = false;
        for (const std::string& name : named) again = again || lstrcmpiA(name.c_str(), file.name.c_str()) == 0;
        if (again) continue;
        named.push_back(file.name);
        text += "\n" + file.name + ": installed " + VersionText(file.installed) + ", medium " +
                VersionText(file.medium);
    }
    return text;
}

void ReportKeptFiles(const std::vector<KeptFile>& kept) {
    if (!kept.empty()) ShowEngineMessage(MediumOlderText(kept));
}
