// One policy for failures that a stage contains and goes on after: each
// leaves exactly one line in the tool's log (FailureLogText), naming the
// stage and the reason, with the Windows error code and its text where
// there is one. Nothing else is written, and nothing reaches the report.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// Receives the line of each contained failure. Start-up points it at the
// tool's log; without one, failures are contained without a trace.
using TFailureWriter = void (*)(const std::wstring& line);
void SetFailureWriter(TFailureWriter writer);
// The writer in place (null: none).
TFailureWriter CurrentFailureWriter();

// The system's text for Windows error `code` (FormatMessageW), trailing line
// breaks and blanks removed; empty when it has none.
std::wstring SystemErrorText(std::uint32_t code);

// Writes the line of a failure found without an exception: `reason`, and
// `code` with its text when it is not 0. Never throws.
void RecordFailure(const std::wstring& stage, const std::wstring& reason, std::uint32_t code = 0) noexcept;

// Called only inside a catch block: writes the line of the exception being
// handled (the tool's exceptions with their message and Windows error code,
// others with what is known of them). Never throws.
void RecordCurrentFailure(const std::wstring& stage) noexcept;

// Runs `body` and contains any exception that leaves it: its line is written
// and false returned. True when `body` returned normally.
template <typename Body>
bool ContainFailure(const std::wstring& stage, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        RecordCurrentFailure(stage);
        return false;
    }
}

}  // namespace vantrel
