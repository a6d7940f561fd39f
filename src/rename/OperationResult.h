#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How an operation ended. 2 and 5 are produced by no operation.
enum OperationStatus : std::int32_t {
    Succeeded = 0,
    UnexpectedError = 1,
    SomeFilesFailed = 3,
    FilesOpen = 4,
    UserDeclined = 6,
};

// Which operation filled a result.
enum OperationCode : std::int32_t {
    FilesRename = 12,
};

// The record in which an operation reports its outcome to the caller that owns it.
struct OperationResult {
    std::int32_t statusCode = 0;
    std::int32_t operationCode = 0;
    std::wstring message;
    std::int32_t succeededCount = 0;
    std::int32_t failedCount = 0;
    // Left empty by every operation of this program.
    std::vector<std::wstring> entries;
};

// Overwrites the five value fields of `result`; `entries` is left as it is.
void SetOperationResult(OperationResult& result, std::int32_t statusCode, std::int32_t operationCode,
                        const wchar_t* message, std::int32_t succeededCount, std::int32_t failedCount);

// The name of a status ("SomeFilesFailed"), or "Unknown".
const wchar_t* OperationStatusName(std::int32_t statusCode);
