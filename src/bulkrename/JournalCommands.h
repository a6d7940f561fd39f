#pragma once

#include <cstdio>
#include <string>

// Where a batch writes its journal: the default folder, a file the user named, or nowhere.
struct JournalChoice {
    bool none = false;
    // Empty: a new journal in DefaultJournalFolder().
    std::wstring file;
};

// The journal of the default folder an undo or a recovery takes when none is named; empty when
// there is none. A recovery takes the newest unfinished journal no running batch writes. An undo
// takes the newest finished batch of renames that has something to undo: not an undo's own
// journal, not a batch already undone or recovered, not one that renamed nothing.
std::wstring NewestJournal(bool forUndo);

// Puts back the files of a batch that never finished, as its journal `journalPath` tells (see
// Recovery.h), and then marks the journal recovered, first cutting off a lost tail. Reports on
// standard output; returns the exit code (0, 3 when something was left, 2 when the journal cannot
// be used).
int RunRecover(const std::wstring& journalPath, bool dryRun);

// Renames every file the batch of `journalPath` renamed back to its old name, through the engine,
// writing its own journal as `ownJournal` says. Files the batch sent to the recycle bin stay there
// and are named; files that changed since (renamed again, deleted, replaced) are named and left,
// and so is a file whose old name one of them holds: it keeps its name, and counts as failed.
int RunUndo(const std::wstring& journalPath, bool dryRun, const JournalChoice& ownJournal);

// On `errors`, a line for every journal in the default folder whose batch never finished and that
// no running batch is writing, with the command that puts its files back.
void WarnOfUnfinishedJournals(std::FILE* errors);
