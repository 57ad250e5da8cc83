#include "platform/base/errors.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct FailureTextCase {
    const wchar_t* stage;
    const wchar_t* reason;
    std::uint32_t code;
    const wchar_t* code_text;
    const wchar_t* line;
};

TEST(FailureLogText, StageReasonAndTheWindowsErrorWhereThereIsOne) {
    const FailureTextCase cases[] = {
        {L"autoruns", L"Invalid data type for 'x'", 0, L"", L"Error: autoruns: Invalid data type for 'x'"},
        // without a code any text given for it is left out
        {L"services", L"Out of memory", 0, L"ignored", L"Error: services: Out of memory"},
        {L"product files", L"Cannot open file C:\\a.log", 32,
         L"The process cannot access the file because it is being used by another process.",
         L"Error: product files: Cannot open file C:\\a.log (Windows error 32: The process cannot access the file "
         L"because it is being used by another process.)"},
        // a code the system has no text for
        {L"archive", L"error", 0xE0000001u, L"", L"Error: archive: error (Windows error 3758096385)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.line));
        EXPECT_EQ(FailureLogText(c.stage, c.reason, c.code, c.code_text), c.line);
    }
}

TEST(ToolError, KeepsTheWindowsErrorCode) {
    EXPECT_EQ(EToolError("a").SystemCode(), 0u);
    const EToolError error("Cannot read file x", 5);
    EXPECT_EQ(error.SystemCode(), 5u);
    EXPECT_STREQ(error.what(), "Cannot read file x");
}

}  // namespace
}  // namespace vantrel
