#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <string>

#include "files/FileMachine.h"
#include "files/FileText.h"
#include "platform/UniqueHandle.h"
#include "support/DiagnosticCapture.h"
#include "support/TestFiles.h"

namespace {

struct Decomposition {
    const wchar_t* path;
    const wchar_t* name;
    const wchar_t* baseName;
    const wchar_t* extension;
    const wchar_t* folder;
    const wchar_t* pathWithoutExtension;
};

class FileMachineDecompositionTest : public ::testing::TestWithParam<Decomposition> {};

TEST_P(FileMachineDecompositionTest, SplitsThePathByTextAlone)
{
    const DiagnosticCapture diagnostics;
    const Decomposition& d = GetParam();
    const FileMachine record(nullptr, d.path);
    EXPECT_EQ(record.path, d.path);
    EXPECT_EQ(record.name, d.name);
    EXPECT_EQ(record.baseName, d.baseName);
    EXPECT_EQ(record.extension, d.extension);
    EXPECT_EQ(record.folder, d.folder);
    EXPECT_EQ(record.pathWithoutExtension, d.pathWithoutExtension);

    std::wstring out = L"previous";
    record.GetPath(out);
    EXPECT_EQ(out, d.path);
    record.GetFolder(out);
    EXPECT_EQ(out, d.folder);
    record.GetExtension(out);
    EXPECT_EQ(out, d.extension);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileMachineDecompositionTest,
    ::testing::Values(
        Decomposition{L"C:\\Docs\\Report.TXT", L"Report.TXT", L"Report", L"txt", L"C:\\Docs", L"C:\\Docs\\Report"},
        Decomposition{L"C:\\Docs\\archive.tar.GZ", L"archive.tar.GZ", L"archive.tar", L"gz", L"C:\\Docs",
                      L"C:\\Docs\\archive.tar"},
        Decomposition{L"C:\\Docs\\README", L"README", L"README", L"", L"C:\\Docs", L"C:\\Docs\\README"},
        Decomposition{L"C:\\file.txt", L"file.txt", L"file", L"txt", L"C:", L"C:\\file"},
        Decomposition{L"C:\\a.b\\file", L"file", L"file", L"b\\file", L"C:\\a.b", L"C:\\a"},
        Decomposition{L"C:\\Docs\\file.", L"file.", L"file.", L"", L"C:\\Docs", L"C:\\Docs\\file"},
        Decomposition{L"C:\\Users\\me\\.profile", L".profile", L"", L"profile", L"C:\\Users\\me",
                      L"C:\\Users\\me\\"},
        Decomposition{L"notes.Txt", L"notes.Txt", L"notes.Txt", L"txt", L"", L"notes"},
        Decomposition{L"C:\\Docs\\", L"", L"", L"", L"C:\\Docs", L"C:\\Docs\\"},
        Decomposition{L"", L"", L"", L"", L"", L""},
        // Only A-Z are lower-cased, whatever the locale.
        Decomposition{L"C:\\Docs\\photo.J\u00c4PG\u0130", L"photo.J\u00c4PG\u0130", L"photo", L"j\u00c4pg\u0130",
                      L"C:\\Docs", L"C:\\Docs\\photo"}));

TEST(FileMachine, AMissingPathKeepsItsPartsAndReportsTheFailedLookUp)
{
    const DiagnosticCapture diagnostics;
    const FileMachine record(nullptr, L"C:\\qm-tests\\no such folder\\Pic \u00e9.JPG");
    EXPECT_EQ(record.folder, L"C:\\qm-tests\\no such folder");
    EXPECT_EQ(record.extension, L"jpg");
    EXPECT_EQ(record.creationTime, L"");
    EXPECT_EQ(record.lastAccessTime, L"");
    EXPECT_EQ(record.sizeOrCount, 0u);
    EXPECT_FALSE(record.isFile);
    EXPECT_EQ(diagnostics.Text(),
              L"FileMachine: FindFirstFile failed for C:\\qm-tests\\no such folder\\Pic \u00c3\u00a9.JPG\n");
}

TEST(FileMachine, AFileHasItsSizeAndItsLastAccessTime)
{
    const std::wstring folder = MakeScratchFolder(L"file machine file");
    const std::wstring path = folder + L"\\data.bin";
    WriteFileBytes(path, std::string(1234, 'x'));
    {
        const UniqueHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        SYSTEMTIME creation{2005, 3, 0, 7, 4, 3, 0, 0};
        SYSTEMTIME access{2010, 1, 5, 1, 9, 5, 30, 0};
        SYSTEMTIME write{2015, 6, 1, 20, 18, 30, 0, 0};
        FILETIME creationTime{};
        FILETIME accessTime{};
        FILETIME writeTime{};
        SystemTimeToFileTime(&creation, &creationTime);
        SystemTimeToFileTime(&access, &accessTime);
        SystemTimeToFileTime(&write, &writeTime);
        ASSERT_TRUE(SetFileTime(file.Get(), &creationTime, &accessTime, &writeTime));
    }
    // The creation time as the file system keeps it (it may not take the one set above).
    WIN32_FILE_ATTRIBUTE_DATA times{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &times));

    const DiagnosticCapture diagnostics;
    const FileMachine record(nullptr, path);
    EXPECT_TRUE(record.isFile);
    EXPECT_EQ(record.sizeOrCount, 1234u);
    EXPECT_EQ(record.lastAccessTime, L"1/1/2010  9:5") << "the last-access time, in UTC";
    EXPECT_EQ(record.creationTime, FormatFileTime(&times.ftCreationTime)) << "the creation time";
    // Wine keeps no creation time of its own: it reports the last-write time as the creation
    // time, so there the two cannot be told apart and only the check above holds.
    if (CompareFileTime(&times.ftCreationTime, &times.ftLastWriteTime) != 0) {
        EXPECT_NE(record.creationTime, L"20/6/2015  18:30") << "not the last-write time";
    }
    EXPECT_NE(record.creationTime, record.lastAccessTime);
    EXPECT_EQ(diagnostics.Text(), L"");
}

TEST(FileMachine, AFolderCountsItsOwnEntriesOnly)
{
    const std::wstring folder = MakeScratchFolder(L"file machine folder");
    WriteFileBytes(folder + L"\\one.txt", "1");
    WriteFileBytes(folder + L"\\two", "2");
    WriteFileBytes(folder + L"\\.hidden", "3");
    // Hidden and system entries are entries too.
    WriteFileBytes(folder + L"\\hidden.txt", "h");
    WriteFileBytes(folder + L"\\system.txt", "s");
    ASSERT_TRUE(SetFileAttributesW((folder + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW((folder + L"\\system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    CreateFolder(folder + L"\\sub");
    WriteFileBytes(folder + L"\\sub\\deeper.txt", "4");
    WriteFileBytes(folder + L"\\sub\\deepest.txt", "5");
    CreateFolder(folder + L"\\empty");

    const FileMachine record(nullptr, folder);
    EXPECT_FALSE(record.isFile);
    EXPECT_EQ(record.sizeOrCount, 7u);
    EXPECT_EQ(FileMachine(nullptr, folder + L"\\sub").sizeOrCount, 2u);
    EXPECT_EQ(FileMachine(nullptr, folder + L"\\empty").sizeOrCount, 0u);
}

TEST(FileMachine, AFileOver4GiBReportsItsFullSize)
{
    const std::wstring folder = MakeScratchFolder(L"file machine large");
    const std::wstring path = folder + L"\\sparse.bin";
    const std::uint64_t size = 5ull * 1024 * 1024 * 1024 + 7;
    {
        const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.IsValid());
        DWORD returned = 0;
        DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(size);
        ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    EXPECT_EQ(FileMachine(nullptr, path).sizeOrCount, size);
    RemoveTree(folder);
}

TEST(GetSizeOrEntryCount, AMissingPathIsZeroWithItsLine)
{
    const DiagnosticCapture diagnostics;
    EXPECT_EQ(GetSizeOrEntryCount(L"C:\\qm-tests\\nothing here"), 0u);
    EXPECT_EQ(diagnostics.Text(), L"FindFirstFile failed for C:\\qm-tests\\nothing here\n");
}

} // namespace
