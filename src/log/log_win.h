// The tool's own log file beside its executable: one time-stamped UTF-16LE
// line per message, the file opened and closed for every message, rotated to
// a backup at 10 MiB. Writing never raises: a message that cannot be written
// is dropped.
#pragma once

#include "log/log_text.h"
#include "platform/base/critical_section_win.h"
#include "platform/base/handles_win.h"
#include "platform/files/links_win.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vantrel {

// One open log file.
class TLogObj {
public:
    // Opens the log file `log_name` (empty: the executable's path with
    // ".log"), creating it and its folders when missing, for writing while
    // others may read it. Its folder is opened first, refused when it is a
    // link a user could have made; the file is opened or created relative to
    // that folder's handle, without following a link, and only a plain file
    // with a single name is taken. When another writer holds it, or it is a
    // link, a folder or a file with more than one name, the candidates
    // "_1.log", "_2.log", ... are tried in turn. Throws EToolError when the
    // folder cannot be had or a candidate can be neither created nor opened.
    explicit TLogObj(const std::wstring& log_name);
    // Closes the file; one this object created and never wrote to is
    // deleted through a handle checked to be that file, never by name.
    ~TLogObj();
    TLogObj(const TLogObj&) = delete;
    TLogObj& operator=(const TLogObj&) = delete;

    // Rotates the file when it has reached MaxSize (the open file is copied
    // into a new backup, then emptied), then appends one line
    // (the byte-order mark first into an empty file). No locking; throws
    // EToolError when the file cannot be written.
    void AppendLine(const std::wstring& text);
    // AppendLine under this object's lock.
    void LockedAppendLine(const std::wstring& text);

    // The full path of the log file in use.
    const std::wstring& LogFileName() const { return file_name_; }

    std::int32_t MaxSize = kLogMaxSize;  // rotation threshold in bytes
    std::uint8_t BackupCount = 1;        // numbered backups kept
    bool TimeStamps = true;              // prefix each line with the local time

private:
    void Rotate();
    // Copies the open log file into a new file that then takes the name
    // `backup`; false (and no file left) when that fails.
    bool WriteBackup(const std::wstring& backup);
    void WriteBytes(const std::string& bytes);

    TCriticalSection lock_;
    std::wstring module_name_;
    std::wstring file_name_;
    ScopedFileHandle folder_;  // the log's folder: the log and its backups are made in it by handle
    ScopedFileHandle stream_;
    bool created_ = false;  // this object created the file
    TFileId created_id_;    // which file it created
    std::int64_t current_size_ = 0;
};

// The settings and the lock under which log objects are made and used.
class TLogManage {
public:
    TLogManage() = default;
    ~TLogManage() = default;
    TLogManage(const TLogManage&) = delete;
    TLogManage& operator=(const TLogManage&) = delete;

    // Writes one message; any failure drops it silently.
    void Write(const std::wstring& text) noexcept;
    // Between these (nested), the log file stays open from one message to
    // the next (see TLogBatch); the end closes it.
    void BeginBatch() noexcept;
    void EndBatch() noexcept;

    std::uint8_t BackupCount = 1;        // copied into each new log object
    bool CloseAfterWrite = true;         // close the file after every message
    std::wstring LogName;                // empty: beside the executable
    bool TimeStamps = true;              // copied into each new log object
    std::int32_t MaxSize = kLogMaxSize;  // copied into each new log object

private:
    std::unique_ptr<TLogObj> log_;
    TCriticalSection lock_;
    unsigned batch_depth_ = 0;
};

// While alive, the log file stays open between messages, so that a stage
// that logs a line for every file it handles does not open and close the
// file for each. Every line still goes to the file when it is written, and
// other programs may still read the file meanwhile; it is closed when the
// last batch ends. Does nothing before the log manager exists.
class TLogBatch {
public:
    TLogBatch() noexcept;
    ~TLogBatch();
    TLogBatch(const TLogBatch&) = delete;
    TLogBatch& operator=(const TLogBatch&) = delete;

private:
    TLogManage* manager_;
};

// Creates the process-wide log manager, and makes the tool's log the place
// where contained failures are recorded (contain_win.h); start-up calls it
// before the main window exists. It lives until the process ends.
void CreateLogManager();
// The process-wide log manager, or null before CreateLogManager.
TLogManage* LogManager();

// Writes one time-stamped message to the tool's log. Never raises; does
// nothing before the log manager exists.
void WriteLog(const std::wstring& text) noexcept;

}  // namespace vantrel
