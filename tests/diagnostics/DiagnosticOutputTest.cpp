// The diagnostic lines as bytes leaving a real process: prefix, UTF-8 path, CR LF; the shell
// operation's line held back until the next flush or the exit; nothing lost or changed without
// any standard output.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "platform/UniqueHandle.h"
#include "support/TestFiles.h"
#include "support/TestProcess.h"

namespace {

using namespace std::chrono_literals;

const std::wstring probe = ProgramFolder() + L"\\DiagnosticProbe.exe";

std::wstring ProbeLine(const std::wstring& arguments)
{
    return Quoted(probe) + L" " + arguments;
}

TEST(DiagnosticOutput, LinesAreAsciiPrefixUtf8PathAndCrLf)
{
    const std::wstring path = L"C:\\qm-tests\\gone \u00e9\u20ac\U0001F600.txt";
    const ProcessRun run = RunProcess(probe, ProbeLine(L"lines " + Quoted(path)));
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.standardOutput,
              "FileMachine: FindFirstFile failed for C:\\qm-tests\\gone \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80.txt\r\n"
              "RenameFileOrFolder Failed!\r\n");
}

TEST(DiagnosticOutput, AShellOperationLineWaitsForTheNextFlush)
{
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring writtenName = L"qm-probe-written-" + suffix;
    const std::wstring goName = L"qm-probe-go-" + suffix;
    const UniqueHandle written(CreateEventW(nullptr, TRUE, FALSE, writtenName.c_str()));
    const UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, goName.c_str()));

    ChildProcess child(probe, ProbeLine(L"held C:\\qm-tests\\gone.txt " + writtenName + L" " + goName));
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(WaitForSingleObject(written.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(child.OutputSoFar(), "") << "the shell operation's line must not be flushed by itself";
    SetEvent(go.Get());

    const ProcessRun run = child.Wait();
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.standardOutput,
              "RenameFileOrFolder Failed!\r\nFileMachine: FindFirstFile failed for C:\\qm-tests\\gone.txt\r\n");
}

TEST(DiagnosticOutput, WithoutStandardOutputOperationsBehaveTheSame)
{
    const std::wstring folder = MakeScratchFolder(L"no stdout");
    WriteFileBytes(folder + L"\\before.txt", "content");

    const ProcessRun renamed = RunProcess(
        probe, ProbeLine(L"rename " + Quoted(folder + L"\\before.txt") + L" " + Quoted(folder + L"\\after.txt")), L"",
        false);
    EXPECT_EQ(renamed.exitCode, 0u);
    EXPECT_EQ(ReadFileBytes(folder + L"\\after.txt"), "content");
    EXPECT_FALSE(PathExists(folder + L"\\before.txt"));

    const ProcessRun failed = RunProcess(
        probe, ProbeLine(L"rename " + Quoted(folder + L"\\missing.txt") + L" " + Quoted(folder + L"\\x.txt")), L"",
        false);
    EXPECT_EQ(failed.exitCode, 1u);

    // A line that flushes the stream (the look-up failure) goes nowhere, and the process goes on.
    const ProcessRun flushed = RunProcess(probe, ProbeLine(L"lines " + Quoted(folder + L"\\gone.txt")), L"", false);
    EXPECT_EQ(flushed.exitCode, 0u);
}

} // namespace
