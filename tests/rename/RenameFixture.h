#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rename/OperationResult.h"
#include "rename/PathList.h"
#include "support/DiagnosticCapture.h"
#include "support/TestFiles.h"

// A scratch folder of real files for one renamer test, the diagnostic lines the engine wrote,
// and the check that no file is left under a temporary name without a line naming it.
class RenameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + " " + info->name();
        for (char& c : name) {
            c = c == '/' ? '-' : c;
        }
        folder = MakeScratchFolder(FromUtf8(name));
    }

    void TearDown() override
    {
        if (!folder.empty()) {
            ExpectNoUnnamedTemporaryFiles(folder);
        }
    }

    // Creates a file (or, with a trailing backslash, a folder) in the scratch folder; returns its path.
    std::wstring Make(const std::wstring& relativePath, const std::string& content = "")
    {
        const std::wstring path = folder + L"\\" + relativePath;
        for (std::size_t slash = relativePath.find(L'\\'); slash != std::wstring::npos && slash + 1 < relativePath.size();
             slash = relativePath.find(L'\\', slash + 1)) {
            CreateFolder(folder + L"\\" + relativePath.substr(0, slash));
        }
        if (!relativePath.empty() && relativePath.back() == L'\\') {
            CreateFolder(path.substr(0, path.size() - 1));
            return path.substr(0, path.size() - 1);
        }
        WriteFileBytes(path, content.empty() ? ToUtf8(relativePath) : content);
        return path;
    }

    std::wstring At(const std::wstring& relativePath) const
    {
        return folder + L"\\" + relativePath;
    }

    // Every qms*.tmp below `root` must be named by a diagnostic line.
    void ExpectNoUnnamedTemporaryFiles(const std::wstring& root)
    {
        for (const std::wstring& name : TemporaryFilesIn(root)) {
            EXPECT_NE(diagnostics.Text().find(ToUtf8Units(root + L"\\" + name)), std::wstring::npos)
                << "left without a line naming it: " << ToUtf8(root + L"\\" + name);
        }
        for (const std::wstring& name : ListFolder(root)) {
            if (IsFolder(root + L"\\" + name) && !IsLink(root + L"\\" + name)) {
                ExpectNoUnnamedTemporaryFiles(root + L"\\" + name);
            }
        }
    }

    static void ExpectResult(const OperationResult& result, std::int32_t status, const std::wstring& message,
                             std::int32_t succeeded, std::int32_t failed)
    {
        EXPECT_EQ(result.statusCode, status);
        EXPECT_EQ(result.operationCode, FilesRename);
        EXPECT_EQ(result.message, message);
        EXPECT_EQ(result.succeededCount, succeeded);
        EXPECT_EQ(result.failedCount, failed);
        EXPECT_TRUE(result.entries.empty());
    }

    std::wstring folder;
    DiagnosticCapture diagnostics;
};
