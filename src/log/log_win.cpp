#include "log/log_win.h"

#include "platform/errors.h"
#include "platform/file_io_win.h"
#include "platform/system_locale_win.h"
#include "platform/text.h"

namespace vantrel {

namespace {

// Candidates past this one are not tried: a folder where every new file can
// be created but none opened for writing would otherwise be filled without end.
constexpr unsigned kLastLogCandidate = 100;

// Creates an empty log file and its missing folders. A file that another
// writer created in the meantime is left as it is.
void CreateEmptyLogFile(const std::wstring& file_name) {
    ForceDirectories(ExtractFilePath(file_name));
    ScopedFileHandle file(::CreateFileW(file_name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && ::GetLastError() != ERROR_FILE_EXISTS) {
        throw EToolError("Cannot create log file " + EncodeUtf8(file_name));
    }
}

// Opens the log file for writing; others may read it but not write it.
ScopedFileHandle OpenForAppend(const std::wstring& file_name) {
    return ScopedFileHandle(::CreateFileW(file_name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Moves the file position; throws when the file cannot be positioned.
void Seek(HANDLE file, DWORD method) {
    LONG high = 0;
    ::SetLastError(NO_ERROR);
    if (::SetFilePointer(file, 0, &high, method) == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) {
        throw EToolError("Cannot position in the log file");
    }
}

std::int64_t SizeOf(HANDLE file) {
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) throw EToolError("Cannot size the log file");
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

TLogManage* g_log_manager = nullptr;

}  // namespace

TLogObj::TLogObj(const std::wstring& log_name) : module_name_(GetModulePath()) {
    for (unsigned n = 0;; ++n) {
        if (n > kLastLogCandidate) throw EToolError("No log file can be opened");
        file_name_ = LogCandidateName(log_name, module_name_, n);
        if (!FileExists(file_name_)) CreateEmptyLogFile(file_name_);
        stream_ = OpenForAppend(file_name_);
        if (stream_) break;
    }
    current_size_ = SizeOf(stream_.Get());
    Seek(stream_.Get(), FILE_END);
}

TLogObj::~TLogObj() {
    stream_.Reset();
    if (current_size_ == 0) ::DeleteFileW(file_name_.c_str());
}

void TLogObj::AppendLine(const std::wstring& text) {
    if (LogNeedsRotation(current_size_, MaxSize)) Rotate();
    std::string bytes;
    if (current_size_ == 0) bytes.assign(kLogByteOrderMark, sizeof kLogByteOrderMark);
    bytes += LogLineBytes(TimeStamps ? LogStamp(LocalNow(), UserLocale()) : std::wstring(), text);
    WriteBytes(bytes);
}

void TLogObj::LockedAppendLine(const std::wstring& text) {
    TCriticalSectionGuard guard(lock_);
    AppendLine(text);
}

void TLogObj::Rotate() {
    const std::wstring last = LogBackupName(file_name_, BackupCount);
    if (FileExists(last)) ::DeleteFileW(last.c_str());
    for (unsigned k = BackupCount; k-- > 1;) {
        const std::wstring older = LogBackupName(file_name_, k);
        if (FileExists(older)) ::MoveFileW(older.c_str(), LogBackupName(file_name_, k + 1).c_str());
    }
    // A failed copy does not stop the rotation: the log is emptied anyway.
    ::CopyFileW(file_name_.c_str(), LogBackupName(file_name_, 1).c_str(), FALSE);
    Seek(stream_.Get(), FILE_BEGIN);
    if (!::SetEndOfFile(stream_.Get())) throw EToolError("Cannot empty the log file");
    current_size_ = 0;
}

void TLogObj::WriteBytes(const std::string& bytes) {
    DWORD written = 0;
    if (!::WriteFile(stream_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        throw EToolError("Cannot write the log file");
    }
    current_size_ += static_cast<std::int64_t>(written);
}

void TLogManage::Write(const std::wstring& text) noexcept {
    TCriticalSectionGuard guard(lock_);
    try {
        if (!log_) {
            log_.reset(new TLogObj(LogName));
            log_->BackupCount = BackupCount;
            log_->TimeStamps = TimeStamps;
            log_->MaxSize = MaxSize;
        }
        log_->LockedAppendLine(text);
        if (CloseAfterWrite) log_.reset();
    } catch (...) {
        log_.reset();
    }
}

void CreateLogManager() {
    if (g_log_manager == nullptr) g_log_manager = new TLogManage;
}

TLogManage* LogManager() { return g_log_manager; }

void WriteLog(const std::wstring& text) noexcept {
    if (TLogManage* manager = LogManager()) manager->Write(text);
}

}  // namespace vantrel
