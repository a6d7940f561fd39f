#include "rename/journal/JournalFormat.h"

#include <windows.h>
#include <shlobj.h>
#include <winternl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "platform/UniqueHandle.h"
#include "rename/PathSpelling.h"

namespace {

// NtQueryInformationFile's class for a file's index on its volume; not every SDK names it.
const auto fileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);

void AppendUtf8(std::string& out, unsigned long codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsHighSurrogate(unsigned long unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(unsigned long unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// File systems whose index of a file is where its entry lies, not a lasting number.
bool IsIndexlessFileSystem(const wchar_t* name)
{
    for (const wchar_t* fat : {L"FAT", L"FAT12", L"FAT16", L"FAT32", L"exFAT", L"vfat"}) {
        if (CompareStringOrdinal(name, -1, fat, -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string JournalText(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned long unit = static_cast<unsigned short>(text[i]);
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(static_cast<unsigned short>(text[i + 1]))) {
            const unsigned long low = static_cast<unsigned short>(text[++i]);
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

bool FromJournalText(const std::string& bytes, std::wstring& text)
{
    text.clear();
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        unsigned long codePoint = 0;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Only the shortest form, as JournalText writes it, and nothing past the last code point.
        static constexpr std::array<unsigned long, 5> smallest{0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || codePoint > 0x10FFFF) {
            return false;
        }
        // A pair of surrogates is written as the one code point it stands for: halves written one
        // by one are not the writer's (a lone half, which a name may hold, is).
        if (IsLowSurrogate(codePoint) && !text.empty() && IsHighSurrogate(static_cast<unsigned short>(text.back()))) {
            return false;
        }
        if (codePoint >= 0x10000) {
            text.push_back(static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(codePoint));
        }
        i += length;
    }
    return true;
}

bool FitsInRecord(const std::wstring& text)
{
    return std::none_of(text.begin(), text.end(), [](wchar_t unit) { return unit < 0x20; });
}

std::string FileIdentity(const std::wstring& path, KnownVolumes& volumes)
{
    // Attributes only, shared every way, so that the probe neither fails on a file open elsewhere
    // nor stops anyone else from opening it; the backup flag lets it open folders too.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    const UniqueHandle entry(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr));
    // The file's index alone: GetFileInformationByHandle would ask for the volume's serial number
    // with it, which costs several times the rest (a round trip to the mount manager under Wine).
    struct {
        LARGE_INTEGER indexNumber;
    } internal{};
    IO_STATUS_BLOCK status{};
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!entry.IsValid() ||
        NtQueryInformationFile(entry.Get(), &status, &internal, sizeof internal, fileInternalInformation) < 0 ||
        !GetFileInformationByHandleEx(entry.Get(), FileBasicInfo, &basic, sizeof basic)) {
        return {};
    }
    // A file system may give a new file the index of one just deleted; the creation time, which
    // a rename keeps, tells them apart. Not for folders: some file systems report as a folder's
    // creation time a time that changes with what the folder holds.
    const bool isFolder = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder) {
        basic.CreationTime.QuadPart = 0;
    }
    // The volume is the one of the folder the entry is in, asked once a folder.
    const std::wstring folder = FolderOf(path);
    const auto known = volumes.find(CaseFolded(folder));
    VolumeFacts volume;
    if (known != volumes.end()) {
        volume = known->second;
    } else {
        const UniqueHandle holder(CreateFileW((folder + L"\\").c_str(), FILE_READ_ATTRIBUTES, share, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        DWORD serial = 0;
        std::array<wchar_t, MAX_PATH + 1> fileSystem{};
        if (!holder.IsValid() || !GetVolumeInformationByHandleW(holder.Get(), nullptr, 0, &serial, nullptr, nullptr,
                                                                fileSystem.data(), MAX_PATH + 1)) {
            return {};
        }
        volume.serial = serial;
        volume.stableIndex = !IsIndexlessFileSystem(fileSystem.data());
        volumes.emplace(CaseFolded(folder), volume);
    }
    std::array<char, 80> text{};
    if (volume.stableIndex && internal.indexNumber.QuadPart != 0) {
        (void)std::snprintf(text.data(), text.size(), "%08lx:%016llx:%016llx", volume.serial,
                            static_cast<unsigned long long>(internal.indexNumber.QuadPart),
                            static_cast<unsigned long long>(basic.CreationTime.QuadPart));
        return text.data();
    }
    // What such a volume does keep across a rename. A folder's write time follows its contents.
    if (!GetFileInformationByHandleEx(entry.Get(), FileStandardInfo, &standard, sizeof standard)) {
        return {};
    }
    const long long written = isFolder ? 0 : basic.LastWriteTime.QuadPart;
    const long long size = isFolder ? 0 : standard.EndOfFile.QuadPart;
    (void)std::snprintf(text.data(), text.size(), "%08lx:t:%016llx:%016llx:%016llx", volume.serial,
                        static_cast<unsigned long long>(basic.CreationTime.QuadPart),
                        static_cast<unsigned long long>(written), static_cast<unsigned long long>(size));
    return text.data();
}

bool IsMoveRecord(const std::string& kind)
{
    return kind == recordMoveAside || kind == recordRename || kind == recordMoveBack || kind == recordReturn;
}

bool IsWellFormedIdentity(const std::string& identity)
{
    if (identity.empty()) {
        return true;
    }
    // The serial's eight hex digits, then sixteen for each number, lower case as written.
    const std::vector<std::size_t> widths =
        IsWeakIdentity(identity) ? std::vector<std::size_t>{8, 1, 16, 16, 16} : std::vector<std::size_t>{8, 16, 16};
    std::size_t at = 0;
    for (std::size_t f = 0; f < widths.size(); ++f) {
        const std::size_t end = identity.find(':', at);
        const std::string field = identity.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const bool last = f + 1 == widths.size();
        if (field.size() != widths[f] || (end == std::string::npos) != last) {
            return false;
        }
        if (widths[f] != 1 && !std::all_of(field.begin(), field.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
            })) {
            return false;
        }
        at = end + 1;
    }
    return true;
}

bool IsWeakIdentity(const std::string& identity)
{
    return identity.size() > 10 && identity.compare(8, 3, ":t:") == 0;
}

bool SameFileIndex(const std::string& first, const std::string& second)
{
    // "SERIAL:INDEX:" leads an identity with an index.
    constexpr std::size_t indexEnd = 8 + 1 + 16 + 1;
    return first.size() > indexEnd && second.size() > indexEnd && !IsWeakIdentity(first) &&
           !IsWeakIdentity(second) && first.compare(0, indexEnd, second, 0, indexEnd) == 0;
}

std::wstring DefaultJournalFolder()
{
    std::array<wchar_t, MAX_PATH> localAppData{};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData.data()))) {
        return {};
    }
    return std::wstring(localAppData.data()) + L"\\Quillmoss\\Journal";
}
