#include "rename/OperationResult.h"

void SetOperationResult(OperationResult& result, std::int32_t statusCode, std::int32_t operationCode,
                        const wchar_t* message, std::int32_t succeededCount, std::int32_t failedCount)
{
    result.statusCode = statusCode;
    result.operationCode = operationCode;
    result.message = message;
    result.succeededCount = succeededCount;
    result.failedCount = failedCount;
}

const wchar_t* OperationStatusName(std::int32_t statusCode)
{
    switch (statusCode) {
    case Succeeded: return L"Succeeded";
    case UnexpectedError: return L"UnexpectedError";
    case SomeFilesFailed: return L"SomeFilesFailed";
    case FilesOpen: return L"FilesOpen";
    case UserDeclined: return L"UserDeclined";
    default: return L"Unknown";
    }
}
