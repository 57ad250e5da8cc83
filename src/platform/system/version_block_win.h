// A file's version resource, read once, and the values looked up in it.
#pragma once

#include "platform/base/win.h"

#include <string>
#include <vector>

namespace vantrel {

class TVersionBlock {
public:
    // Reads the whole version data of `file_name` (GetFileVersionInfoSizeW,
    // GetFileVersionInfoW); the block is empty when the file has none, it
    // cannot be read or the system lacks the functions.
    explicit TVersionBlock(const std::wstring& file_name);

    bool Empty() const { return data_.empty(); }
    // The block's bytes, for checking that a value lies inside it.
    const unsigned char* Begin() const { return data_.data(); }
    const unsigned char* End() const { return data_.data() + data_.size(); }

    // The value at `sub_block` (VerQueryValueW) and its length; false (data
    // null, length 0) when the block is empty or the value is missing.
    bool Query(const std::wstring& sub_block, const void*& data, UINT& length) const;
    // The text at `sub_block` up to its first NUL, bounded by the value's
    // length for a resource that is not zero-terminated; empty when missing.
    std::wstring QueryText(const std::wstring& sub_block) const;

private:
    std::vector<unsigned char> data_;
};

}  // namespace vantrel
