// The tool's own exception types. Stages throw these; the report job catches
// them at the stage boundaries.
#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

// General failure of a stage. The message is UTF-8.
class EToolError : public std::runtime_error {
public:
    explicit EToolError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vantrel
