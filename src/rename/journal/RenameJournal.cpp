#include "rename/journal/RenameJournal.h"

#include <windows.h>
#include <shlobj.h>

#include <array>
#include <cstdio>
#include <exception>

#include "rename/journal/JournalFormat.h"
#include "rename/journal/JournalReader.h"
#include "rename/journal/JournalRules.h"

namespace {

const char* RecordKind(RenameObserver::Step step)
{
    switch (step) {
    case RenameObserver::Step::TemporaryName:
        return recordTemporaryName;
    case RenameObserver::Step::MoveAside:
        return recordMoveAside;
    case RenameObserver::Step::Rename:
        return recordRename;
    case RenameObserver::Step::MoveBack:
        return recordMoveBack;
    case RenameObserver::Step::Return:
        return recordReturn;
    case RenameObserver::Step::Recycle:
        return recordRecycle;
    }
    return recordRename;
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// "2026-12-10 20.31.07.123": sorts as the times do, and is a valid file name.
std::wstring TimeStampName()
{
    SYSTEMTIME now{};
    GetSystemTime(&now);
    std::array<wchar_t, 32> text{};
    (void)std::swprintf(text.data(), text.size(), L"%04u-%02u-%02u %02u.%02u.%02u.%03u", now.wYear, now.wMonth,
                        now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text.data();
}

// Whether a reader would take the step's record: a step whose record would be refused, making
// the whole journal unusable, is not taken (a path the system spells only with "\\?\", say).
bool KeepsTheRules(RenameObserver::Step step, const std::wstring& from, const std::wstring& to)
{
    if (!FitsInRecord(from) || !FitsInRecord(to)) {
        return false;
    }
    JournalStep record;
    record.kind = RecordKind(step);
    record.from = from;
    record.to = to;
    if (step == RenameObserver::Step::TemporaryName) {
        record.detail = "0";
    }
    return BrokenRule(record).empty();
}

std::wstring ErrorText(DWORD error)
{
    return L"error " + std::to_wstring(error);
}

} // namespace

bool RenameJournal::Create(const std::wstring& path, const std::string& action, std::wstring& problem)
{
    // Shared for reading only: a recovery or a look for unfinished journals can read it while the
    // batch runs, and can tell from the refused share that it still runs.
    file.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (!file.IsValid()) {
        const DWORD error = GetLastError();
        problem = L"cannot create the journal " + path +
                  (error == ERROR_FILE_EXISTS ? std::wstring(L": it already exists") : L" (" + ErrorText(error) + L")");
        return false;
    }
    journalPath = path;
    if (!Write(std::string(journalHeader) + "\n" + recordBegin + "\t" + action + "\n", true)) {
        problem = L"cannot write the journal " + path;
        return false;
    }
    return true;
}

bool RenameJournal::CreateIn(const std::wstring& folder, const std::string& action, std::wstring& problem)
{
    const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
        problem = L"cannot create the journal folder " + folder + L" (" + ErrorText(static_cast<DWORD>(made)) + L")";
        return false;
    }
    // Two batches started in the same millisecond: the second waits for the next one.
    std::wstring path = folder + L"\\" + TimeStampName() + L".journal";
    for (int attempt = 0; attempt < 100 && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
        Sleep(1);
        path = folder + L"\\" + TimeStampName() + L".journal";
    }
    return Create(path, action, problem);
}

bool RenameJournal::BeforeSteps(Step step, const std::vector<StepPaths>& steps)
{
    // A plan that cannot be written in full is refused, and so is every step after it.
    try {
        if (broken) {
            return false;
        }
        std::string records;
        for (const StepPaths& paths : steps) {
            if (!KeepsTheRules(step, paths.from, paths.to)) {
                return false;
            }
            records += recordPlan;
            records += '\t';
            records += Record(step, paths.from, paths.to, true);
        }
        plannedKind = step;
        planned = steps;
        nextPlanned = 0;
        return Write(records, true);
    } catch (const std::exception&) {
        planned.clear();
        broken = true;
        return false;
    }
}

bool RenameJournal::BeforeStep(Step step, const std::wstring& from, const std::wstring& to)
{
    try {
        if (broken || !KeepsTheRules(step, from, to)) {
            return false;
        }
        // A step of a plan is on the disk already, in its plan, with the file's identity.
        const bool inPlan = IsPlanned(step, from, to);
        return Write(Record(step, from, to, step != Step::MoveAside || !inPlan), !inPlan);
    } catch (const std::exception&) {
        broken = true;
        return false;
    }
}

std::string RenameJournal::Record(Step step, const std::wstring& from, const std::wstring& to, bool withDetail)
{
    std::string record = std::string(RecordKind(step)) + "\t" + JournalText(from) + "\t" + JournalText(to);
    if (withDetail && step == Step::TemporaryName) {
        // The system is about to create a placeholder it names itself: should the process die
        // before its name is recorded, a recovery looks for one made after this time.
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        record += '\t';
        record += std::to_string((static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    } else if (withDetail && step == Step::MoveAside) {
        record += '\t';
        record += FileIdentity(from, volumes);
    }
    record += '\n';
    return record;
}

bool RenameJournal::IsPlanned(Step step, const std::wstring& from, const std::wstring& to)
{
    if (step != plannedKind) {
        return false;
    }
    for (std::size_t k = nextPlanned; k < planned.size(); ++k) {
        if (planned[k].from == from && planned[k].to == to) {
            nextPlanned = k + 1;
            return true;
        }
    }
    return false;
}

void RenameJournal::AfterStep(Step, const std::wstring&, const std::wstring&, bool done)
{
    if (!broken) {
        // Short enough to be built without allocating: this runs while files are put back too.
        Write(std::string(done ? recordDone : recordFailed) + "\n", false);
    }
}

void RenameJournal::Finish(const OperationResult& result)
{
    if (!broken) {
        Write(std::string(recordEnd) + "\t" + std::to_string(result.statusCode) + "\n", true);
    }
}

bool RenameJournal::Write(const std::string& record, bool durable)
{
    bool written = false;
    if (writesLeft == 0) {
        (void)WriteAll(file.Get(), record.substr(0, record.size() / 2));
        SetLastError(ERROR_DISK_FULL);
    } else {
        writesLeft -= writesLeft == unlimitedWrites ? 0 : 1;
        written = WriteAll(file.Get(), record) && (!durable || FlushFileBuffers(file.Get()));
    }
    if (!written) {
        broken = true;
        const std::string units = JournalText(journalPath);
        (void)std::fprintf(stderr, "QuillmossRename: cannot write the journal %s (error %lu): no step is taken after this\n",
                           units.c_str(), static_cast<unsigned long>(GetLastError()));
        return false;
    }
    return true;
}

bool AppendJournalRecord(const std::wstring& path, long long intactLength, const std::string& record)
{
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end{};
    end.QuadPart = intactLength;
    return file.IsValid() && SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()) &&
           WriteAll(file.Get(), record + "\n") && FlushFileBuffers(file.Get());
}
