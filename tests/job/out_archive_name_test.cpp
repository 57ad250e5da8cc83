#include "job/out_archive_name.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TDateTimeParts At(int year, int month, int day, int hour, int minute, int second) {
    TDateTimeParts when;
    when.Year = year;
    when.Month = month;
    when.Day = day;
    when.Hour = hour;
    when.Minute = minute;
    when.Second = second;
    when.Milliseconds = 999;  // never part of the name
    return when;
}

TEST(OutArchiveName, ComputerAndUtcSecond) {
    struct Case {
        const wchar_t* computer;
        TDateTimeParts utc;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"PC-0142", At(2024, 3, 7, 9, 5, 1), L"Vantrel_Debug_Info_PC-0142_20240307T090501Z"},
        {L"SRV", At(1999, 12, 31, 23, 59, 59), L"Vantrel_Debug_Info_SRV_19991231T235959Z"},
        // characters a file name cannot hold, and blanks, become "_"
        {L"A\\B/C:D*E?F\"G<H>I|J K", At(2024, 1, 1, 0, 0, 0),
         L"Vantrel_Debug_Info_A_B_C_D_E_F_G_H_I_J_K_20240101T000000Z"},
        {L"Pr\u00fcfstand", At(2024, 1, 1, 0, 0, 0), L"Vantrel_Debug_Info_Pr\u00fcfstand_20240101T000000Z"},
        {L"", At(2024, 1, 1, 0, 0, 0), L"Vantrel_Debug_Info_UNKNOWN_20240101T000000Z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.computer));
        EXPECT_EQ(OutArchiveBaseName(c.computer, c.utc), c.expected);
    }
}

TEST(OutArchiveName, TheCounterComesBeforeTheExtension) {
    const std::wstring base = L"Vantrel_Debug_Info_PC_20240307T090501Z";
    EXPECT_EQ(OutArchiveName(base, 1), base + L".zip");
    EXPECT_EQ(OutArchiveName(base, 2), base + L"_2.zip");
    EXPECT_EQ(OutArchiveName(base, 10), base + L"_10.zip");
    EXPECT_EQ(OutArchiveName(base, kOutArchiveAttempts), base + L"_1000.zip");
}

}  // namespace
}  // namespace vantrel
