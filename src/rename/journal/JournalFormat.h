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

// Whether `text` can stand in a record field: no tab, line break or other control character.
bool FitsInRecord(const std::wstring& text);

// The serial numbers of the volumes folders are on, by folder (upper-cased), as FileIdentity
// learns them: each folder's is asked for once.
using VolumeSerials = std::map<std::wstring, unsigned long>;

// What tells one file from another that took its name since: the serial number of the volume of
// its folder, the file's index on it and its creation time, as "SERIAL:INDEX:CREATED" in hex;
// empty when the entry cannot be opened.
std::string FileIdentity(const std::wstring& path, VolumeSerials& serials);

// Where journals live unless the command line says otherwise: "Quillmoss\Journal" under the
// user's local application-data folder; empty when the system names no such folder.
std::wstring DefaultJournalFolder();
