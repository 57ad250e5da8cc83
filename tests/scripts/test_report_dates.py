#!/usr/bin/env python3
"""Dates in the user's language: the report's "Date:" line, the inventory's
"DT:" time stamps and the first line of "SystemInfo.txt" under a German and a
Japanese user locale whose short-date pattern holds names.

What Wine 8 reads: the user locale comes from the Unix locale of the process
(LC_ALL, LANG), which glibc must know. The registry does not choose it: at
every start Wine compares HKCU\\Control Panel\\International "Locale" with the
Unix locale and, when they differ, writes "Locale" and "LocaleName" anew and
resets the format values (sShortDate, sTimeFormat and the others) to the new
locale's defaults. So this test compiles the two locales with localedef into
the build tree (LOCPATH), runs every Wine program of a case with LC_ALL set,
and writes sShortDate with reg.exe under that same locale, after the switch;
GetLocaleInfoW then answers with the override, and day and month names and
the era with the locale's own (Wine's locale data: German abbreviated days
carry a dot, Japanese months are "1月" in both lengths)."""
import calendar
import hashlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from prefix_case import PrivatePrefixCase
import winebed

BUILD = os.environ["VANTREL_BUILD"]
PROBE = os.path.join(os.environ["VANTREL_FIXTURE_DIR"], "reportprobe", "reportprobe.exe")
INTERNATIONAL = r"HKCU\Control Panel\International"
STAMP = calendar.timegm((2016, 3, 14, 10, 2, 33))  # a Monday; TZ=UTC below

GERMAN = {
    "DayNames": ["Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"],
    "AbbrevDayNames": ["So.", "Mo.", "Di.", "Mi.", "Do.", "Fr.", "Sa."],
    "MonthNames": ["Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September",
                   "Oktober", "November", "Dezember"],
    "AbbrevMonthNames": ["Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"],
    "Era": "n. Chr.",
}
JAPANESE = {
    "DayNames": ["日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"],
    "AbbrevDayNames": ["日", "月", "火", "水", "木", "金", "土"],
    "MonthNames": ["%d月" % m for m in range(1, 13)],
    "AbbrevMonthNames": ["%d月" % m for m in range(1, 13)],
    "Era": "西暦",
}


def german_date(t):
    """dd-MMM-yy"""
    return "%02d-%s-%02d" % (t.tm_mday, GERMAN["AbbrevMonthNames"][t.tm_mon - 1], t.tm_year % 100)


def japanese_date(t):
    """gg yyyy/MM/dd (ddd)"""
    day = JAPANESE["AbbrevDayNames"][(t.tm_wday + 1) % 7]  # tm_wday counts from Monday
    return "%s %d/%02d/%02d (%s)" % (JAPANESE["Era"], t.tm_year, t.tm_mon, t.tm_mday, day)


def compile_locale(folder, name):
    """glibc's definition of `name` (for example de_DE.UTF-8) compiled into `folder`."""
    target = os.path.join(folder, name)
    if not os.path.isfile(os.path.join(target, "LC_TIME")):
        language, charmap = name.split(".")
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["localedef", "-i", language, "-f", charmap, target], capture_output=True, check=False)
        assert os.path.isfile(os.path.join(target, "LC_TIME")), "localedef made no %s" % name
    return folder


def read_utf16_lines(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:2] == b"\xff\xfe", data[:4]
    return data[2:].decode("utf-16-le").split("\r\n")[:-1]


class ReportDates(PrivatePrefixCase):
    PREFIX_NAME = "dates"

    @classmethod
    def prepare(cls):
        cls.locales = os.path.join(BUILD, "e2e", "locales")
        # No uninstall entry: the inventory lists the probe's own folder.
        cls.tool_dir = os.path.join(winebed.drive_c(cls.prefix), "tool")
        os.makedirs(cls.tool_dir)
        cls.probe = os.path.join(cls.tool_dir, "reportprobe.exe")
        shutil.copy(PROBE, cls.probe)
        stamp = os.path.join(cls.tool_dir, "stamp.txt")
        with open(stamp, "wb") as f:
            f.write(b"stamp\r\n")
        os.utime(stamp, (STAMP, STAMP))
        cls.stamp_md5 = hashlib.md5(b"stamp\r\n").hexdigest()

    def wine(self, env, *args):
        result = subprocess.run(["wine"] + list(args), env=env, capture_output=True, timeout=600)
        self.assertEqual(result.returncode, 0, (args, result.stdout, result.stderr))
        return result

    def run_case(self, unix_locale, short_date):
        """The regional settings the tool read, the text report's lines, the
        lines of SystemInfo.txt, and the clock before and after the run."""
        env = winebed.wine_env(self.prefix, extra={
            "LANG": unix_locale, "LC_ALL": unix_locale, "TZ": "UTC",
            "LOCPATH": compile_locale(self.locales, unix_locale)})
        self.wine(env, "reg", "add", INTERNATIONAL, "/v", "sShortDate", "/d", short_date, "/f")
        with tempfile.TemporaryDirectory(dir=self.root) as work:
            self.wine(env, self.probe, "locale", winebed.windows_path(os.path.join(work, "locale.txt")))
            with open(os.path.join(work, "locale.txt"), encoding="utf-8") as f:
                record = dict(line.split("=", 1) for line in f.read().splitlines())
            before = time.gmtime()
            self.wine(env, self.probe, "job", winebed.windows_path(work))
            after = time.gmtime()
            report = read_utf16_lines(os.path.join(work, "report.txt"))
            systeminfo = read_utf16_lines(os.path.join(work, "systeminfo.txt"))
        return record, report, systeminfo, (before, after)

    def assertNames(self, record, expected):
        for key in ("DayNames", "AbbrevDayNames", "MonthNames", "AbbrevMonthNames"):
            self.assertEqual([record["%s%d" % (key, i)] for i in range(len(expected[key]))], expected[key], key)
        self.assertEqual([record["GenitiveMonthNames%d" % i] for i in range(12)], expected["MonthNames"])
        self.assertEqual(record["Era"], expected["Era"])

    def assertNow(self, text, clock, date_of, time_pattern):
        """`text` is the date of one of the two clock readings, then the time
        (or nothing, at exactly midnight)."""
        for t in clock:
            date = date_of(t)
            if text.startswith(date):
                self.assertRegex(text[len(date):], r"^( %s)?$" % time_pattern)
                return
        self.fail("%r is not the date of %s" % (text, [date_of(t) for t in clock]))

    def stamp_line(self, report):
        lines = [line for line in report if line.startswith("stamp.txt   ")]
        self.assertEqual(len(lines), 1, report)
        return lines[0]

    def test_german_names_in_a_custom_short_date(self):
        record, report, systeminfo, clock = self.run_case("de_DE.UTF-8", "dd-MMM-yy")
        self.assertEqual(record["ShortDatePattern"], "dd-MMM-yy")
        self.assertEqual(record["LongTimePattern"], "HH:mm:ss")
        self.assertNames(record, GERMAN)
        self.assertEqual(self.stamp_line(report),
                         "stamp.txt   Ver:   MD5:%s   DT:14-Mär-16 10:02:33" % self.stamp_md5)
        self.assertTrue(report[1].startswith("Date:"), report[:2])
        self.assertNow(report[1][len("Date:"):], clock, german_date, r"\d\d:\d\d:\d\d")
        self.assertNow(systeminfo[0], clock, german_date, r"\d\d:\d\d:\d\d")
        self.assertEqual(systeminfo[1:3], ["", "===== System ====="])

    def test_japanese_names_and_era_in_a_custom_short_date(self):
        record, report, systeminfo, clock = self.run_case("ja_JP.UTF-8", "gg yyyy/MM/dd (ddd)")
        self.assertEqual(record["ShortDatePattern"], "gg yyyy/MM/dd (ddd)")
        self.assertEqual(record["LongTimePattern"], "H:mm:ss")
        self.assertNames(record, JAPANESE)
        self.assertEqual(self.stamp_line(report),
                         "stamp.txt   Ver:   MD5:%s   DT:西暦 2016/03/14 (月) 10:02:33" % self.stamp_md5)
        self.assertTrue(report[1].startswith("Date:"), report[:2])
        self.assertNow(report[1][len("Date:"):], clock, japanese_date, r"\d?\d:\d\d:\d\d")
        self.assertNow(systeminfo[0], clock, japanese_date, r"\d?\d:\d\d:\d\d")
        self.assertEqual(systeminfo[1:3], ["", "===== System ====="])


if __name__ == "__main__":
    unittest.main()
