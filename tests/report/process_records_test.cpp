#include "report/process_records.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

// Builds query buffers in the 32-bit record layout.
class RecordBuffer {
public:
    static constexpr std::uint32_t kAddress = 0x00A00000;
    static constexpr std::size_t kRecordSize = 184;

    // Appends a record; its name, when given, follows it in the buffer.
    void Add(std::uint32_t pid, std::uint32_t session, std::uint32_t threads, std::uint32_t handles,
             const std::u16string* name) {
        if (!bytes_.empty()) Put32(last_ + 0, static_cast<std::uint32_t>(bytes_.size() - last_));
        last_ = bytes_.size();
        bytes_.resize(bytes_.size() + kRecordSize, '\0');
        Put32(last_ + 4, threads);
        Put32(last_ + 68, pid);
        Put32(last_ + 76, handles);
        Put32(last_ + 80, session);
        if (name != nullptr) {
            Put16(last_ + 56, static_cast<std::uint16_t>(name->size() * 2));
            Put32(last_ + 60, kAddress + static_cast<std::uint32_t>(bytes_.size()));
            for (char16_t c : *name) {
                bytes_.push_back(static_cast<char>(c & 0xFF));
                bytes_.push_back(static_cast<char>(c >> 8));
            }
            bytes_.append(2, '\0');
        }
    }
    void Put32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void Put16(std::size_t at, std::uint16_t v) {
        bytes_[at] = static_cast<char>(v & 0xFF);
        bytes_[at + 1] = static_cast<char>(v >> 8);
    }
    std::vector<TSystemProcessRecord> Parse(std::size_t size) const {
        return ParseProcessRecords(reinterpret_cast<const unsigned char*>(bytes_.data()), size, kAddress);
    }
    std::vector<TSystemProcessRecord> Parse() const { return Parse(bytes_.size()); }
    std::size_t LastOffset() const { return last_; }
    std::size_t Size() const { return bytes_.size(); }

private:
    std::string bytes_;
    std::size_t last_ = 0;
};

TEST(ProcessRecords, WalksFromFirstToLastWithNamesAndCounters) {
    const std::u16string system = u"System";
    const std::u16string explorer = u"explorer.exe";
    RecordBuffer buffer;
    buffer.Add(0, 0, 2, 0, nullptr);
    buffer.Add(4, 0, 120, 900, &system);
    buffer.Add(0x1a4c, 1, 35, 1200, &explorer);
    auto records = buffer.Parse();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_FALSE(records[0].HasImageName);
    EXPECT_EQ(records[0].ThreadCount, 2u);
    EXPECT_TRUE(records[1].HasImageName);
    EXPECT_EQ(records[1].ImageName, L"System");
    EXPECT_EQ(records[1].HandleCount, 900u);
    EXPECT_EQ(records[2].ImageName, L"explorer.exe");
    EXPECT_EQ(records[2].ProcessId, 0x1a4cu);
    EXPECT_EQ(records[2].SessionId, 1u);
    EXPECT_EQ(records[2].ThreadCount, 35u);
}

TEST(ProcessRecords, ARecordOrNameOutsideTheBufferIsNotRead) {
    const std::u16string name = u"long-name.exe";
    RecordBuffer buffer;
    buffer.Add(4, 0, 1, 1, nullptr);
    buffer.Add(8, 0, 1, 1, &name);
    // the second record cut short: the walk ends after the first
    EXPECT_EQ(buffer.Parse(buffer.LastOffset() + 40).size(), 1u);
    // the record fits, its name does not: the name reads as empty text
    auto records = buffer.Parse(buffer.LastOffset() + RecordBuffer::kRecordSize + 4);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[1].HasImageName);
    EXPECT_EQ(records[1].ImageName, L"");
    EXPECT_TRUE(buffer.Parse(0).empty());
}

TEST(ProcessRecords, ANextOffsetPastTheEndEndsTheWalk) {
    RecordBuffer buffer;
    buffer.Add(4, 0, 1, 1, nullptr);
    buffer.Add(8, 0, 1, 1, nullptr);
    // from the second record, an offset that wraps a 32-bit address back to the first
    buffer.Put32(buffer.LastOffset(), 0u - static_cast<std::uint32_t>(buffer.LastOffset()));
    EXPECT_EQ(buffer.Parse().size(), 2u);
    buffer.Put32(0, 0xFFFFFFF0u);
    EXPECT_EQ(buffer.Parse().size(), 1u);
}

}  // namespace
}  // namespace vantrel
