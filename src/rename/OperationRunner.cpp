#include "rename/OperationRunner.h"

#include "rename/FilesRenamerAlphabetize.h"

OperationRunner::OperationRunner() : ownerWindow(nullptr)
{
}

OperationRunner::~OperationRunner()
{
    ownerWindow = nullptr;
}

void OperationRunner::Alphabetize(OperationResult& result, PathList& paths)
{
    FilesRenamerAlphabetize renamer(ownerWindow, paths);
    renamer.Rename(result);
}

void OperationRunner::Alphabetize(OperationResult& result, PathList& paths, RenameObserver& observer)
{
    FilesRenamerAlphabetize renamer(ownerWindow, paths);
    renamer.Observe(observer);
    renamer.Rename(result);
}
