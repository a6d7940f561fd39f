#pragma once

#include <map>
#include <string>

// A rename journal is UTF-8 text, one record a line, its fields separated by tabs (no name holds
// a tab or a line break). The first line says what the file is; then "begin", then for every step
// that moves something a record of what is about to happen and, once it has, "done" or "failed";
// last "end". Before a run of steps the engine takes one after the other, a block of "plan"
// records (each "plan" followed by the fields of the step's own record) holds them all; the steps
// then follow as usual. A step of a plan may be skipped, and a plan ends where the next begins.
// Names are written exactly: a lone surrogate, which a Windows name may hold, is
// written as its three-byte sequence rather than refused or replaced.
inline constexpr char journalHeader[] = "Quillmoss rename journal\t1";

// The record kinds, one per kind of step (see RenameObserver::Step).
inline constexpr char recordBegin[] = "begin";
inline constexpr char recordPlan[] = "plan";
inline constexpr char recordTemporaryName[] = "name";
inline constexpr char recordMoveAside[] = "aside";
inline constexpr char recordRename[] = "rename";
inline constexpr char recordMoveBack[] = "back";
inline constexpr char recordReturn[] = "return";
inline constexpr char recordRecycle[] = "recycle";
inline constexpr char recordDone[] = "done";
inline constexpr char recordFailed[] = "failed";
inline constexpr char recordEnd[] = "end";
// The last field of the "end" a recovery writes.
inline constexpr char endRecovered[] = "recovered";

// UTF-16 text as UTF-8 bytes, lone surrogates included (see above).
std::string JournalText(const std::wstring& text);
// The inverse; false for bytes JournalText never writes.
bool FromJournalText(const std::string& bytes, std::wstring& text);

// Whether `text` can stand in a record field: no tab, line break or other control character
// (U+007F is no control character to the file system, and names may hold it).
bool FitsInRecord(const std::wstring& text);

// What FileIdentity learns of the volume of a folder, asked once a folder.
struct VolumeFacts {
    unsigned long serial = 0;
    // False on file systems that keep no lasting index of a file (FAT, exFAT): there a file's
    // index is where its entry lies, which a rename changes.
    bool stableIndex = true;
};
// By folder, upper-cased.
using KnownVolumes = std::map<std::wstring, VolumeFacts>;

// What tells one file from another that took its name since: the serial number of the volume of
// its folder, the file's index on it and its creation time, as "SERIAL:INDEX:CREATED" in hex.
// Where the volume keeps no lasting index, what it does keep: "SERIAL:t:CREATED:WRITTEN:SIZE"
// (see IsWeakIdentity). The entry itself is asked, never what a link or junction leads to: the
// renamer moves the link. Empty when the entry cannot be opened.
std::string FileIdentity(const std::wstring& path, KnownVolumes& volumes);

// Whether `identity` is one FileIdentity writes (or empty, which it writes when it cannot tell).
bool IsWellFormedIdentity(const std::string& identity);

// Whether a step of this kind moves an entry (an aside, a rename, a move back or a return).
bool IsMoveRecord(const std::string& kind);

// Whether `identity` was made from sizes and times alone, which two files may share.
bool IsWeakIdentity(const std::string& identity);
// Whether two identities with a file index name the same index on the same volume: the same
// entry, or a new one the file system gave a deleted entry's index. Their creation times may
// still differ where a file system reports the last write as the creation time.
bool SameFileIndex(const std::string& first, const std::string& second);

// Where journals live unless the command line says otherwise: "Quillmoss\Journal" under the
// user's local application-data folder; empty when the system names no such folder.
std::wstring DefaultJournalFolder();
