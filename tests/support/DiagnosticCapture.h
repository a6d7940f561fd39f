#pragma once

#include <iostream>
#include <sstream>
#include <string>

#include "diagnostics/DiagnosticStream.h"

// Collects, for its lifetime, the wide units the code under test writes to the diagnostic
// stream, so a test can compare its lines exactly. The byte-level form is tested on real
// processes elsewhere.
class DiagnosticCapture {
public:
    DiagnosticCapture() : previous(DiagnosticStream().rdbuf(captured.rdbuf())) {}
    ~DiagnosticCapture() { DiagnosticStream().rdbuf(previous); }

    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

    std::wstring Text() const { return captured.str(); }

private:
    std::wostringstream captured;
    std::wstreambuf* previous;
};
