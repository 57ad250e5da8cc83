// Reads the lines the tool's own log received during a test.
#pragma once

#include "log/log_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "support/test_support_win.h"

#include <string>
#include <vector>

namespace vantrel_test {

// Remembers how far the log beside the test executable reached when made;
// NewLines gives the messages written since, without their time stamps.
class LogTail {
public:
    LogTail() : path_(vantrel::ChangeFileExt(vantrel::GetModulePath(), L".log")) {
        vantrel::CreateLogManager();
        start_ = vantrel::FileExists(path_) ? ReadFileBytes(path_).size() : 0;
    }

    std::vector<std::wstring> NewLines() const {
        const std::string bytes = vantrel::FileExists(path_) ? ReadFileBytes(path_) : std::string();
        if (bytes.size() < start_) return {};  // rotated: not expected in a test run
        std::size_t from = start_ < 2 ? 2 : start_;
        if (bytes.size() <= from) return {};
        const std::wstring text = vantrel::DecodeUtf16Le(bytes.substr(from));
        std::vector<std::wstring> lines;
        const std::size_t stamp = 25;  // "yyyy-mm-dd hh:nn:ss.zzz" and two blanks
        std::size_t begin = 0;
        for (std::size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2) {
            const std::wstring line = text.substr(begin, end - begin);
            lines.push_back(line.size() >= stamp ? line.substr(stamp) : line);
        }
        return lines;
    }

private:
    std::wstring path_;
    std::size_t start_ = 0;
};

}  // namespace vantrel_test
