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

TLogObj::TLogObj(const std::wstring& log_name) : ModuleName(GetModulePath()) {
    for (unsigned n = 0;; ++n) {
        if (n > kLastLogCandidate) throw EToolError("No log file can be opened");
        FileName = LogCandidateName(log_name, ModuleName, n);
        if (!FileExists(FileName)) CreateEmptyLogFile(FileName);
        Stream = OpenForAppend(FileName);
        if (Stream) break;
    }
    CurrentSize = SizeOf(Stream.Get());
    Seek(Stream.Get(), FILE_END);
}

TLogObj::~TLogObj() {
    Stream.Reset();
    if (CurrentSize == 0) ::DeleteFileW(FileName.c_str());
}

void TLogObj::AppendLine(const std::wstring& text) {
    if (LogNeedsRotation(CurrentSize, MaxSize)) Rotate();
    std::string bytes;
    if (CurrentSize == 0) bytes.assign(kLogByteOrderMark, sizeof kLogByteOrderMark);
    bytes += LogLineBytes(TimeStamps ? LogStamp(LocalNow(), UserLocale()) : std::wstring(), text);
    WriteBytes(bytes);
}

void TLogObj::LockedAppendLine(const std::wstring& text) {
    TCriticalSectionGuard guard(Lock);
    AppendLine(text);
}

void TLogObj::Rotate() {
    const std::wstring last = LogBackupName(FileName, BackupCount);
    if (FileExists(last)) ::DeleteFileW(last.c_str());
    for (unsigned k = BackupCount; k-- > 1;) {
        const std::wstring older = LogBackupName(FileName, k);
        if (FileExists(older)) ::MoveFileW(older.c_str(), LogBackupName(FileName, k + 1).c_str());
    }
    // A failed copy does not stop the rotation: the log is emptied anyway.
    ::CopyFileW(FileName.c_str(), LogBackupName(FileName, 1).c_str(), FALSE);
    Seek(Stream.Get(), FILE_BEGIN);
    if (!::SetEndOfFile(Stream.Get())) throw EToolError("Cannot empty the log file");
    CurrentSize = 0;
}

void TLogObj::WriteBytes(const std::string& bytes) {
    DWORD written = 0;
    if (!::WriteFile(Stream.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        throw EToolError("Cannot write the log file");
    }
    CurrentSize += static_cast<std::int64_t>(written);
}

void TLogManage::Write(const std::wstring& text) noexcept {
    TCriticalSectionGuard guard(Lock);
    try {
        if (!Log) {
            Log.reset(new TLogObj(LogName));
            Log->BackupCount = BackupCount;
            Log->TimeStamps = TimeStamps;
            Log->MaxSize = MaxSize;
        }
        Log->LockedAppendLine(text);
        if (CloseAfterWrite) Log.reset();
    } catch (...) {
        Log.reset();
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
