#include "zip/zip_files_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/datetime.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"
#include "platform/base/text_win.h"
#include "platform/files/links_win.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vantrel {

namespace {

const char kNoRoom[] = "Not enough room to write archive";

std::string WideToAnsi(const std::wstring& text) { return WideToCodePage(CP_ACP, text); }

std::wstring AnsiToWide(const std::string& text) { return CodePageToWide(CP_ACP, text); }

// CharToOemA and OemToCharA convert in place-sized buffers.
std::string AnsiToOem(const std::string& text) {
    std::vector<char> out(text.size() + 1, '\0');
    ::CharToOemA(text.c_str(), out.data());
    return std::string(out.data());
}

std::string OemToAnsi(const std::string& text) {
    std::vector<char> out(text.size() + 1, '\0');
    ::OemToCharA(text.c_str(), out.data());
    return std::string(out.data());
}

bool SameText(const std::wstring& a, const std::wstring& b) { return UpperCaseText(a) == UpperCaseText(b); }

std::uint32_t DosTimeOf(const FILETIME& utc) {
    FILETIME local;
    if (!::FileTimeToLocalFileTime(&utc, &local)) return 0xFFFFFFFFu;
    const std::uint64_t ticks = (static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    return DosDateTime(FileTimeToParts(ticks));
}

}  // namespace

TArchiveFile::TArchiveFile(const std::wstring& path)
    : path_(path), folder_(OpenFolderToWriteIn(ExtractFilePath(FullPath(path)), false)) {
    if (folder_) file_.reset(new TReplacement(folder_.Get(), ExtractFileName(FullPath(path))));
    if (!file_ || !file_->Valid()) {
        throw EToolError("Cannot create archive " + EncodeUtf8(path), file_ ? file_->Error() : ::GetLastError());
    }
}

void TArchiveFile::WriteAll(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 24));
        DWORD written = 0;
        if (!::WriteFile(file_->File(), p, chunk, &written, nullptr) || written != chunk)
            throw EToolError(kNoRoom, ::GetLastError());
        p += chunk;
        size -= chunk;
    }
}

void TArchiveFile::Seek(std::uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file_->File(), to, nullptr, FILE_BEGIN)) throw EToolError("error", ::GetLastError());
}

void TArchiveFile::Write(const void* data, std::size_t size) {
    WriteAll(data, size);
    size_ += size;
}

void TArchiveFile::Overwrite(std::uint64_t offset, const void* data, std::size_t size) {
    Seek(offset);
    WriteAll(data, size);
    Seek(size_);
}

void TArchiveFile::Truncate(std::uint64_t size) {
    Seek(size);
    if (!::SetEndOfFile(file_->File())) throw EToolError("error", ::GetLastError());
    size_ = size;
}

void TArchiveFile::Keep() {
    if (!file_->Commit()) throw EToolError("Cannot create archive " + EncodeUtf8(path_), file_->Error());
}

bool TSourceFile::Open(const std::wstring& path, bool reparse_point) {
    path_ = path;
    file_ = OpenFileHandle(path, GENERIC_READ | FILE_READ_ATTRIBUTES, kShareReadWrite, OPEN_EXISTING,
                           kSequential | kOpenLinkItself);
    BY_HANDLE_FILE_INFORMATION info;
    if (reparse_point && file_ && ::GetFileInformationByHandle(file_.Get(), &info)) {
        file_ = ContentHandle(std::move(file_), info, path, GENERIC_READ, kShareReadWrite);
    }
    return file_.Valid();
}

TMemberInfo TSourceFile::Describe(const TEncodedName& name) const {
    // Three small queries: asking for everything at once (by-handle file
    // information) costs many times more per file under some systems.
    TMemberInfo member;
    member.Name = name;
    const DWORD attributes = FileAttributes(path_);
    member.Attributes = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
    DWORD high = 0;
    const DWORD low = ::GetFileSize(file_.Get(), &high);
    if (low != INVALID_FILE_SIZE || ::GetLastError() == NO_ERROR) {
        member.Size = (static_cast<std::uint64_t>(high) << 32) | low;
    }
    FILETIME written;
    member.DosDateTime = ::GetFileTime(file_.Get(), nullptr, nullptr, &written) ? DosTimeOf(written) : 0xFFFFFFFFu;
    return member;
}

std::size_t TSourceFile::Read(char* buffer, std::size_t size) {
    DWORD got = 0;
    if (!::ReadFile(file_.Get(), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        throw EToolError("Cannot read file " + EncodeUtf8(path_), ::GetLastError());
    }
    return got;
}

TMemberInfo TCollectedSource::Describe(const TEncodedName& name) const {
    TMemberInfo member;
    member.Name = name;
    member.Attributes = file_.Attributes;
    member.Size = file_.Size;
    member.DosDateTime = DosTimeOf(file_.LastWrite);
    return member;
}

std::size_t TCollectedSource::Read(char* buffer, std::size_t size) {
    if (left_ == 0) return 0;
    const auto ask = static_cast<DWORD>(std::min<std::uint64_t>(size, left_));
    DWORD got = 0;
    if (!::ReadFile(file_.Handle.Get(), buffer, ask, &got, nullptr)) {
        const DWORD error = ::GetLastError();
        RecordFailure(file_.Stage, L"Cannot read file " + file_.Source, error);
        throw EMemberUnreadable("Cannot read file " + EncodeUtf8(file_.Source), error);
    }
    left_ -= got;
    return got;
}

std::unique_ptr<TPieceReader> TSelectedFiles::Open(std::size_t index, TMemberInfo& member) {
    if (files_[index].Collected != nullptr) {
        // Read from the start, however often the file was read before.
        const LARGE_INTEGER start = {};
        ::SetFilePointerEx(files_[index].Collected->Handle.Get(), start, nullptr, FILE_BEGIN);
        auto collected = std::make_unique<TCollectedSource>(*files_[index].Collected);
        member = collected->Describe(files_[index].Name);
        return collected;
    }
    // Made now, while earlier members are packed; throws what the making
    // throws.
    if (files_[index].Late != nullptr) files_[index].Late->Make();
    auto source = std::make_unique<TSourceFile>();
    if (!source->Open(files_[index].Path, files_[index].ReparsePoint)) return nullptr;
    member = source->Describe(files_[index].Name);
    return source;
}

const TNameCodePages& SystemNameCodePages() {
    static const TNameCodePages pages = {WideToAnsi, AnsiToWide, AnsiToOem, OemToAnsi, SameText};
    return pages;
}

}  // namespace vantrel
