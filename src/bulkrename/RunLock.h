#pragma once

#include <string>

#include "platform/UniqueHandle.h"

// Keeps two renames, undos or recoveries of one user from running at once: one could undo a step
// the other is about to take, or sweep up the placeholders it has just made. The lock is a file
// in the user's own application-data folder, held open without sharing for the whole run (the
// system lets go of it however the process ends); the folder is the user's, whichever session or
// window the run starts from.
class RunLock {
public:
    enum class Outcome { Taken, Busy, Failed };

    // Takes the lock at `path`, making its folder if missing; on Failed, `problem` says why.
    Outcome Take(const std::wstring& path, std::wstring& problem);

private:
    UniqueHandle file;
};

// Where the lock of this user's runs lives: beside the default journal folder. Empty when the
// system names no application-data folder.
std::wstring DefaultRunLockPath();
