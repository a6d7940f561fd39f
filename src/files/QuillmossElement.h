#pragma once

#include <windows.h>

// The base of every file-engine object that acts on behalf of a window: the shell uses
// `ownerWindow` as the parent of its dialogs, the renamer as the owner of its question.
// Null is allowed (dialogs then have no owner). Not polymorphic.
class QuillmossElement {
public:
    explicit QuillmossElement(HWND owner) : ownerWindow(owner) {}
    ~QuillmossElement() { ownerWindow = nullptr; }

    QuillmossElement(const QuillmossElement&) = delete;
    QuillmossElement& operator=(const QuillmossElement&) = delete;

    HWND ownerWindow;
};
