// The tool's own exception types, and the one line a contained failure
// leaves in the tool's log. Stages throw these; the report job and the
// stages that go on after a failure contain them (contain_win.h).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vantrel {

// General failure of a stage. The message is UTF-8; `system_code` is the
// Windows error code of the call that failed, 0 when there is none.
class EToolError : public std::runtime_error {
public:
    explicit EToolError(const std::string& message, std::uint32_t system_code = 0)
        : std::runtime_error(message), system_code_(system_code) {}
    std::uint32_t SystemCode() const { return system_code_; }

private:
    std::uint32_t system_code_;
};

// The log line of a contained failure: "Error: ", the stage, ": " and the
// reason; with a Windows error code, " (Windows error <code>: <text>)", the
// colon and text left out when the system has no text for the code.
std::wstring FailureLogText(const std::wstring& stage, const std::wstring& reason, std::uint32_t code,
                            const std::wstring& code_text);

}  // namespace vantrel
