#include "report/process_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

// Query buffers as the system fills them for a process of one pointer size,
// written field by field in the order the system declares its process
// record, each field aligned to its own size. Neighbouring fields carry
// values of their own, so a reader that is off by a field reads them.
class RecordBuffer {
public:
    RecordBuffer(std::size_t pointer_size, std::uint64_t address) : pointer_(pointer_size), address_(address) {}

    // Appends a record; its name, when given, follows it in the buffer.
    void Add(std::uint32_t pid, std::uint32_t session, std::uint32_t threads, std::uint32_t handles,
             const std::u16string* name) {
        if (!bytes_.empty()) Put(last_, 4, bytes_.size() - last_);
        last_ = bytes_.size();
        Field(4, 0);        // next-entry offset, set by the next record
        Field(4, threads);  // thread count
        for (int i = 0; i < 6; ++i) Field(8, 0x0101010101010101ull * (i + 1));  // working set, times
        const std::size_t name_field = bytes_.size();
        Field(2, 0);                                                           // name length in bytes
        Field(2, 0);                                                           // name capacity
        Field(pointer_, 0);                                                    // name buffer
        Field(4, 8);                                                           // base priority
        Field(pointer_, pid);                                                  // process id
        Field(pointer_, 0x0BAD0000u | pid);                                    // parent process id
        Field(4, handles);                                                     // handle count
        Field(4, session);                                                     // session
        Field(pointer_, 0x5EEDu);                                              // process key
        Field(4, 0x7777);                                                      // page directory base
        for (std::uint64_t i = 1; i <= 11; ++i) Field(pointer_, 0x1000u * i);  // memory counters
        if (name != nullptr) {
            const std::uint64_t name_address = address_ + bytes_.size();
            for (char16_t c : *name) Field(2, c);
            Field(2, 0);
            Put(name_field, 2, name->size() * 2);
            Put(name_field + 2, 2, name->size() * 2 + 2);
            name_pointer_ = name_field + (pointer_ == 8 ? 8 : 4);
            name_address_ = name_address;
            Put(name_pointer_, pointer_, name_address);
        }
        Align(8);
    }
    void Put(std::size_t at, std::size_t width, std::uint64_t v) {
        for (std::size_t i = 0; i < width; ++i) bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    std::vector<TSystemProcessRecord> Parse(std::size_t size) const {
        return ParseProcessRecords(reinterpret_cast<const unsigned char*>(bytes_.data()), size, address_,
                                   ProcessRecordLayout(pointer_));
    }
    std::vector<TSystemProcessRecord> Parse() const { return Parse(bytes_.size()); }
    std::size_t LastOffset() const { return last_; }
    std::size_t LastNameOffset() const { return static_cast<std::size_t>(name_address_ - address_); }
    // The last name's pointer, moved by `delta` bytes.
    void MoveLastName(std::int64_t delta) {
        Put(name_pointer_, pointer_, name_address_ + static_cast<std::uint64_t>(delta));
    }

private:
    void Align(std::size_t to) { bytes_.resize((bytes_.size() + to - 1) / to * to, '\0'); }
    void Field(std::size_t width, std::uint64_t v) {
        Align(width);
        bytes_.resize(bytes_.size() + width, '\0');
        Put(bytes_.size() - width, width, v);
    }

    std::size_t pointer_;
    std::uint64_t address_;
    std::string bytes_;
    std::size_t last_ = 0;
    std::size_t name_pointer_ = 0;
    std::uint64_t name_address_ = 0;
};

// A 32-bit process's buffer lies below 4 GiB; a 64-bit process's usually
// does not, so its name pointers only read right when kept whole.
struct LayoutCase {
    const char* what;
    std::size_t pointer_size;
    std::uint64_t address;
};
constexpr LayoutCase kLayouts[] = {
    {"Bits32", 4, 0x00A00000u},
    {"Bits64", 8, 0x000001D2345A0000ull},
    {"Bits64BufferBelow4GiB", 8, 0x00A00000u},
};

class ProcessRecords : public ::testing::TestWithParam<LayoutCase> {
protected:
    RecordBuffer NewBuffer() const { return RecordBuffer(GetParam().pointer_size, GetParam().address); }
};

INSTANTIATE_TEST_SUITE_P(Layouts, ProcessRecords, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<LayoutCase>& layout) { return layout.param.what; });

TEST_P(ProcessRecords, WalksFromFirstToLastWithNamesAndCounters) {
    const std::u16string system = u"System";
    const std::u16string explorer = u"explorer.exe";
    RecordBuffer buffer = NewBuffer();
    buffer.Add(0, 0, 2, 0, nullptr);
    buffer.Add(4, 0, 120, 900, &system);
    buffer.Add(0x1a4c, 1, 35, 1200, &explorer);
    auto records = buffer.Parse();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_FALSE(records[0].HasImageName);
    EXPECT_EQ(records[0].ProcessId, 0u);
    EXPECT_EQ(records[0].ThreadCount, 2u);
    EXPECT_TRUE(records[1].HasImageName);
    EXPECT_EQ(records[1].ImageName, L"System");
    EXPECT_EQ(records[1].ProcessId, 4u);
    EXPECT_EQ(records[1].HandleCount, 900u);
    EXPECT_EQ(records[2].ImageName, L"explorer.exe");
    EXPECT_EQ(records[2].ProcessId, 0x1a4cu);
    EXPECT_EQ(records[2].SessionId, 1u);
    EXPECT_EQ(records[2].ThreadCount, 35u);
    EXPECT_EQ(records[2].HandleCount, 1200u);
}

TEST_P(ProcessRecords, ARecordOrNameOutsideTheBufferIsNotRead) {
    const std::u16string name = u"long-name.exe";
    const std::size_t record_size = ProcessRecordLayout(GetParam().pointer_size).RecordMinimum;
    RecordBuffer buffer = NewBuffer();
    buffer.Add(4, 0, 1, 1, nullptr);
    buffer.Add(8, 0, 1, 1, &name);
    // the second record cut short: the walk ends after the first
    EXPECT_EQ(buffer.Parse(buffer.LastOffset() + record_size - 1).size(), 1u);
    // the record fits, its name does not: the name reads as empty text
    auto records = buffer.Parse(buffer.LastOffset() + record_size + 4);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[1].HasImageName);
    EXPECT_EQ(records[1].ImageName, L"");
    EXPECT_EQ(records[1].SessionId, 0u);
    EXPECT_TRUE(buffer.Parse(0).empty());
}

TEST_P(ProcessRecords, ANextOffsetPastTheEndEndsTheWalk) {
    RecordBuffer buffer = NewBuffer();
    buffer.Add(4, 0, 1, 1, nullptr);
    buffer.Add(8, 0, 1, 1, nullptr);
    // from the second record, an offset that wraps a 32-bit address back to the first
    buffer.Put(buffer.LastOffset(), 4, 0u - static_cast<std::uint32_t>(buffer.LastOffset()));
    EXPECT_EQ(buffer.Parse().size(), 2u);
    buffer.Put(0, 4, 0xFFFFFFF0u);
    EXPECT_EQ(buffer.Parse().size(), 1u);
}

TEST_P(ProcessRecords, ANamePointerOutsideTheBufferReadsAsEmptyText) {
    const std::u16string name = u"a.exe";
    RecordBuffer buffer = NewBuffer();
    buffer.Add(8, 0, 1, 1, &name);
    const auto name_at = static_cast<std::int64_t>(buffer.LastNameOffset());
    struct Move {
        const char* where;
        std::int64_t delta;
    };
    std::vector<Move> moves = {{"below the buffer", -name_at - 2}, {"past its end", 4096}};
    // Only a 64-bit pointer can lie 4 GiB away, where its low half alone
    // would point at the name.
    if (GetParam().pointer_size == 8) moves.push_back({"4 GiB further", 0x100000000ll});
    for (const Move& move : moves) {
        SCOPED_TRACE(move.where);
        buffer.MoveLastName(move.delta);
        auto records = buffer.Parse();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_TRUE(records[0].HasImageName);
        EXPECT_EQ(records[0].ImageName, L"");
        buffer.MoveLastName(0);
        EXPECT_EQ(buffer.Parse()[0].ImageName, L"a.exe");
    }
}

}  // namespace
}  // namespace vantrel
