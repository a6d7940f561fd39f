#pragma once

#include <string>
#include <vector>

// One step of a batch as its journal tells it (see JournalFormat.h).
struct JournalStep {
    enum class Outcome { Unknown, Done, Failed };
    std::string kind;
    std::wstring from;
    std::wstring to;
    // "aside": the file's identity (see FileIdentity); "name": when the record was written, in
    // 100 ns units since 1601.
    std::string detail;
    // Unknown when the journal ends before the step's outcome: the process died during the step.
    Outcome outcome = Outcome::Unknown;
    // False for a step of the last plan the journal has no record of: the batch may have stopped
    // before it, or, after a power loss, its record may be lost while the move happened. Such
    // steps follow the recorded ones.
    bool recorded = true;
    // The identity of the entry the step moves, followed from its move aside through every step
    // after it; empty where the journal cannot tell.
    std::string identity;
    // A move aside: the source's path before the batch moved anything (a folder of the batch it
    // lies in may have been moved aside before it).
    std::wstring origin;
    // The nearest folder above the step's folder that the batch moved, as the journal had it when
    // the step was taken: the first `holderLength` units of `from` (0 for none), and its
    // identity. Steps the journal could not record (put-backs after a write failed) may have moved
    // it since; a recovery finds it by these.
    std::size_t holderLength = 0;
    std::string holderIdentity;
    // The line of the step's record, or of its plan record.
    std::size_t line = 0;
};

struct JournalContents {
    // What the batch was: "rename", or "undo" and the journal it undid, tab-separated.
    std::string action;
    std::vector<JournalStep> steps;
    bool finished = false;
    // The last field of the "end" record: the batch's status, or "recovered".
    std::string end;
    // How many bytes, from the start, hold whole records. What follows is a lost tail: a record
    // the process did not finish writing, or the zeros a power cut leaves where the file grew.
    long long intactLength = 0;
    // When the journal was last written to (100 ns units since 1601; 0 when unknown): the batch
    // made nothing after that.
    unsigned long long lastWritten = 0;
};

// Reads a whole journal, and checks every record against the rules the writer keeps: full paths
// in one spelling, temporary names in their file's own folder, renames that stay in their folder,
// well-formed identities. A lost tail is left out. False, with `problem` set (naming the first
// line that breaks a rule), for a file that cannot be read or is not such a journal.
bool ReadJournal(const std::wstring& path, JournalContents& journal, std::wstring& problem);

enum class JournalState { Finished, Unfinished, InUse, NotAJournal };
struct JournalProbe {
    JournalState state = JournalState::NotAJournal;
    // What the batch was, and the last field of its end (see JournalContents).
    std::string action;
    std::string end;
};
// Reads only the journal's first and last records: cheap enough to look at every journal kept.
// InUse: a running batch is still writing it.
JournalProbe ProbeJournal(const std::wstring& path);

// A file the batch moved aside: its name before the batch, where the journal says it ended (after
// the moves of the folders it was in), and its identity.
struct BatchFile {
    std::wstring oldPath;
    std::wstring finalPath;
    std::string identity;
};

// Follows the steps that happened, in order, and returns every file moved aside, in the order the
// batch moved them.
std::vector<BatchFile> ReplayBatch(const JournalContents& journal);

// The journals in `folder`, oldest first (their names are the times they were made).
std::vector<std::wstring> JournalsIn(const std::wstring& folder);
