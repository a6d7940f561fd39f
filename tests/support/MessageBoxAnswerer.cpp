#include "support/MessageBoxAnswerer.h"

#include <array>
#include <chrono>

namespace {

// The icon control of a message box: 0x0440 in Wine's template, 0x0014 in Windows'.
HWND IconControl(HWND box)
{
    HWND icon = GetDlgItem(box, 0x0440);
    return icon != nullptr ? icon : GetDlgItem(box, 0x0014);
}

} // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int boxAnswer, std::function<void()> before)
    : answer(boxAnswer), beforeAnswer(std::move(before)), watcher([this] { Watch(); })
{
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    Stop();
}

std::vector<SeenMessageBox> MessageBoxAnswerer::Stop()
{
    stopping = true;
    if (watcher.joinable()) {
        watcher.join();
    }
    const std::lock_guard<std::mutex> guard(seenLock);
    return seen;
}

void MessageBoxAnswerer::Watch()
{
    while (!stopping) {
        HWND box = FindWindowW(nullptr, L"Warning!");
        if (box == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        SeenMessageBox shown;
        std::array<wchar_t, 1024> text{};
        GetDlgItemTextW(box, 0xFFFF, text.data(), static_cast<int>(text.size()));
        shown.text = text.data();
        shown.hasYes = GetDlgItem(box, IDYES) != nullptr;
        shown.hasNo = GetDlgItem(box, IDNO) != nullptr;
        shown.hasOk = GetDlgItem(box, IDOK) != nullptr;
        shown.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
        const HWND icon = IconControl(box);
        shown.warningIcon = icon != nullptr && reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)) ==
                                                   LoadIconW(nullptr, IDI_WARNING);
        {
            const std::lock_guard<std::mutex> guard(seenLock);
            seen.push_back(shown);
        }
        if (beforeAnswer) {
            beforeAnswer();
        }
        PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        // One box is one question: wait for it to close before looking for another.
        while (IsWindow(box) && !stopping) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}
