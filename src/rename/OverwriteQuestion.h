#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rename/StepAnnouncer.h"

// Things outside a batch that stand at new paths of its files (`takenPaths`): the user is asked
// once whether they may be replaced, and after Yes each goes to the recycle bin, every recycle
// told to `announcer` before it is taken (and, with an observer, all of them as a run first).
// Returns 0 when nothing stops the batch (nothing taken, or all recycled), -2 when the user
// declined, -1 when a recycle could not be recorded or failed.
std::int32_t AskToReplaceTakenPaths(HWND owner, const std::vector<std::wstring>& takenPaths,
                                    const StepAnnouncer& announcer);
