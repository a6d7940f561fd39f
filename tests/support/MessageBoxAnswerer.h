#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What a real message box showed.
struct SeenMessageBox {
    std::wstring text;
    bool hasYes = false;
    bool hasNo = false;
    bool hasOk = false;
    bool hasCancel = false;
    bool warningIcon = false;
};

// Watches, on a thread of its own, for message boxes captioned "Warning!" (a real window under
// Xvfb), records what each showed, runs `beforeAnswer` (a test's chance to change the disk while
// the question is open), then presses `answer` (IDYES or IDNO).
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int answer, std::function<void()> beforeAnswer = {});
    ~MessageBoxAnswerer();

    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // Stops watching and returns every box seen.
    std::vector<SeenMessageBox> Stop();

private:
    void Watch();

    int answer;
    std::function<void()> beforeAnswer;
    std::atomic<bool> stopping{false};
    std::mutex seenLock;
    std::vector<SeenMessageBox> seen;
    std::thread watcher;
};
