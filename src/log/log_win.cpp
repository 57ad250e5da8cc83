#include "log/log_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/system_locale_win.h"
#include "platform/base/text.h"
#include "platform/files/links_win.h"
#include "platform/files/nt_files_win.h"
#include "platform/files/replace_win.h"

#include <vector>

namespace vantrel {

namespace {

// Candidates past this one are not tried: a folder where every new file can
// be created but none opened for writing would otherwise be filled without end.
constexpr unsigned kLastLogCandidate = 100;

// The log is opened, and its backup created, without following a link and
// relative to its folder's handle: a name that the user of a writable folder
// turned into a link must not lead the tool's writes elsewhere.
constexpr DWORD kLogAccess = GENERIC_READ | GENERIC_WRITE;

bool IsExistingName(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

// The log's folder, with its missing levels made first, opened for files to
// be created and renamed in it; a link at the folder's name that a user
// could have made is refused (OpenFolderToWriteIn). Throws EToolError when
// it cannot be had.
ScopedFileHandle OpenLogFolder(const std::wstring& folder) {
    if (!DirectoryExists(folder)) ForceDirectories(folder);
    ScopedFileHandle handle = OpenFolderToWriteIn(folder, true);
    if (!handle) throw EToolError("Cannot open the log's folder " + EncodeUtf8(folder), ::GetLastError());
    return handle;
}

// True when the open handle is a plain file with one name: no reparse point
// (the link itself is opened, not its target), no folder, no hard link that
// would give the file another name elsewhere.
bool IsPlainSingleFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file, &info)) return false;
    const DWORD refused = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
    return (info.dwFileAttributes & refused) == 0 && info.nNumberOfLinks == 1;
}

// The log file `name` in the open `folder`, created new (`created`) or
// opened as it is, never through a link; others may read it but not write
// it. Invalid when another writer holds it or it is not a plain file of its
// own (the caller then goes on to the next candidate). Throws EToolError when
// it can be neither created nor found.
ScopedFileHandle OpenLogFile(HANDLE folder, const std::wstring& name, bool& created) {
    ScopedFileHandle file = NativeOpenFileIn(folder, name, kLogAccess, kShareRead, TNativeDisposition::CreateNew);
    created = file.Valid();
    if (!file) {
        if (!IsExistingName(::GetLastError())) throw EToolError("Cannot create log file " + EncodeUtf8(name));
        file = NativeOpenFileIn(folder, name, kLogAccess, kShareRead, TNativeDisposition::OpenExisting);
    }
    if (file && !IsPlainSingleFile(file.Get())) file.Reset();
    return file;
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

// Copies everything from the start of `from` to `to`; false on any failure.
bool CopyContent(HANDLE from, HANDLE to) {
    LONG high = 0;
    ::SetLastError(NO_ERROR);
    if (::SetFilePointer(from, 0, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) {
        return false;
    }
    std::vector<char> buffer(1 << 16);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
        if (got == 0) return true;
        DWORD written = 0;
        if (!::WriteFile(to, buffer.data(), got, &written, nullptr) || written != got) return false;
    }
}

TLogManage* g_log_manager = nullptr;

}  // namespace

TLogObj::TLogObj(const std::wstring& log_name) : module_name_(GetModulePath()) {
    // Every candidate lies in the same folder.
    folder_ = OpenLogFolder(ExtractFilePath(LogCandidateName(log_name, module_name_, 0)));
    for (unsigned n = 0;; ++n) {
        if (n > kLastLogCandidate) throw EToolError("No log file can be opened");
        file_name_ = LogCandidateName(log_name, module_name_, n);
        stream_ = OpenLogFile(folder_.Get(), ExtractFileName(file_name_), created_);
        if (stream_) break;
    }
    current_size_ = SizeOf(stream_.Get());
    Seek(stream_.Get(), FILE_END);
    if (created_) FileIdOf(stream_.Get(), created_id_);
}

TLogObj::~TLogObj() {
    stream_.Reset();
    if (current_size_ != 0 || !created_) return;
    // A log this object created and never wrote goes: opened again in its
    // folder (the handle held no delete access, which would have kept other
    // readers out) and deleted through that handle, when it is still the
    // file that was created.
    ScopedFileHandle again = NativeOpenFileIn(folder_.Get(), ExtractFileName(file_name_), DELETE | FILE_READ_ATTRIBUTES,
                                              kShareAll, TNativeDisposition::OpenExisting);
    TFileId id;
    if (again && FileIdOf(again.Get(), id) && SameFile(id, created_id_)) NativeDeleteOnClose(again.Get());
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
    for (unsigned k = BackupCount; k-- > 1;) {
        // Renaming moves a name, never what a link at it points to.
        ScopedFileHandle older = NativeOpenFileIn(folder_.Get(), ExtractFileName(LogBackupName(file_name_, k)), DELETE,
                                                  kShareAll, TNativeDisposition::OpenExisting);
        if (older)
            NativeRenameInto(older.Get(), folder_.Get(), ExtractFileName(LogBackupName(file_name_, k + 1)), true);
    }
    // A failed copy does not stop the rotation: the log is emptied anyway.
    WriteBackup(LogBackupName(file_name_, 1));
    Seek(stream_.Get(), FILE_BEGIN);
    if (!::SetEndOfFile(stream_.Get())) throw EToolError("Cannot empty the log file");
    current_size_ = 0;
}

bool TLogObj::WriteBackup(const std::wstring& backup) {
    // The copy goes into a file the tool creates new under a random name,
    // which then takes the backup's name: whatever stood there before, a
    // link included, is replaced as a name, and nothing is written through it.
    try {
        TReplacement copy(folder_.Get(), ExtractFileName(backup));
        return copy.Valid() && CopyContent(stream_.Get(), copy.File()) && copy.Commit();
    } catch (const EToolError&) {
        return false;  // no random name to be had
    }
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
        if (CloseAfterWrite && batch_depth_ == 0) log_.reset();
    } catch (...) {
        // The log cannot record its own failure: the message is dropped.
        log_.reset();
    }
}

void TLogManage::BeginBatch() noexcept {
    TCriticalSectionGuard guard(lock_);
    ++batch_depth_;
}

void TLogManage::EndBatch() noexcept {
    TCriticalSectionGuard guard(lock_);
    if (batch_depth_ > 0) --batch_depth_;
    if (CloseAfterWrite && batch_depth_ == 0) log_.reset();
}

TLogBatch::TLogBatch() noexcept : manager_(LogManager()) {
    if (manager_ != nullptr) manager_->BeginBatch();
}

TLogBatch::~TLogBatch() {
    if (manager_ != nullptr) manager_->EndBatch();
}

void CreateLogManager() {
    if (g_log_manager == nullptr) g_log_manager = new TLogManage;
    SetFailureWriter([](const std::wstring& line) { WriteLog(line); });
}

TLogManage* LogManager() { return g_log_manager; }

void WriteLog(const std::wstring& text) noexcept {
    if (TLogManage* manager = LogManager()) manager->Write(text);
}

}  // namespace vantrel
