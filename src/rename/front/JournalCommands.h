#pragma once

#include <cstdio>
#include <string>

// Where a batch writes its journal: the default folder, a file the user named, or nowhere.
struct JournalChoice {
    bool none = false;
    // Empty: a new journal in DefaultJournalFolder().
    std::wstring file;
};

// The newest journal of the default folder that is finished (for an undo) or unfinished and not
// in use (for a recovery); empty when there is none.
std::wstring NewestJournal(bool finished);

// Puts back the files of a batch that never finished, as its journal `journalPath` tells: every
// step that happened is undone, last first, so that every file moved aside goes back to its old
// name, and a placeholder left behind is removed. What it finds already done it leaves; what it
// cannot tell, or finds something else in the way of, it names and leaves. Reports on standard
// output; returns the exit code (0, 3 when something was left, 2 when the journal cannot be used).
int RunRecover(const std::wstring& journalPath, bool dryRun);

// Renames every file the batch of `journalPath` renamed back to its old name, through the engine,
// writing its own journal as `ownJournal` says. Files the batch sent to the recycle bin stay there
// and are named; files that changed since (renamed again, deleted, replaced) are named and left.
int RunUndo(const std::wstring& journalPath, bool dryRun, const JournalChoice& ownJournal);

// On `errors`, a line for every journal in the default folder whose batch never finished and that
// no running batch is writing, with the command that puts its files back.
void WarnOfUnfinishedJournals(std::FILE* errors);
