// Local history files: order detection, the oldest-first ring, capacity,
// the line parser.
#include "quotes/local_history_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>

#include "support/test_support.h"

namespace velmora {
namespace {

using test::TempFolder;
using test::WriteFile;

// "M/D/2020,open,high,low,close,volume" for day d (1-based), close = d.
std::string row(int d) {
  const int month = 1 + (d - 1) / 28 % 12;
  const int year = 2000 + (d - 1) / (28 * 12);
  const int day = 1 + (d - 1) % 28;
  return std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year) + "," +
         std::to_string(d) + ".25," + std::to_string(d) + ".5,1.00," + std::to_string(d) + ".00," +
         std::to_string(1000 + d) + "\n";
}

std::string rows(int first, int last, bool newestFirst) {
  std::string text;
  if (newestFirst) {
    for (int d = last; d >= first; --d) text += row(d);
  } else {
    for (int d = first; d <= last; ++d) text += row(d);
  }
  return text;
}

struct Read {
  int result;
  std::unique_ptr<QuoteSeries> series = std::make_unique<QuoteSeries>();
};

Read readFile(const std::string& path, int capacity = kHistoryCapacity) {
  Read r;
  r.result = ReadLocalHistoryFile(path.c_str(), capacity, r.series->data());
  return r;
}

TEST(LocalHistoryReader, NewestFirstFileKeepsItsOrderUpToTheCapacity) {
  TempFolder dir;
  WriteFile(dir.file("big.csv"), rows(1, 5000, true));
  const Read r = readFile(dir.file("big.csv"));
  EXPECT_EQ(r.result, 1094);
  EXPECT_EQ((*r.series)[0].close, 5000);
  EXPECT_EQ((*r.series)[1094].close, 5000 - 1094);
  EXPECT_STREQ((*r.series)[0].date, "11/16/2014");
  EXPECT_EQ((*r.series)[0].volume, 6000);
  EXPECT_EQ((*r.series)[0].open, 5000.25);
}

TEST(LocalHistoryReader, OldestFirstFileIsReadBackNewestFirst) {
  TempFolder dir;
  WriteFile(dir.file("up.csv"), rows(1, 10, false));
  const Read r = readFile(dir.file("up.csv"));
  EXPECT_EQ(r.result, 9);
  for (int i = 0; i < 10; ++i) EXPECT_EQ((*r.series)[i].close, 10 - i) << i;
}

TEST(LocalHistoryReader, HeaderOfAnOldestFirstFileBecomesTheLastEntry) {
  TempFolder dir;
  WriteFile(dir.file("h.csv"), "Date,Open,High,Low,Close,Volume\n" + rows(1, 10, false));
  const Read r = readFile(dir.file("h.csv"));
  EXPECT_EQ(r.result, 10);
  EXPECT_EQ((*r.series)[9].close, 1);
  EXPECT_STREQ((*r.series)[10].date, "Date");  // outside the analysed bars
}

TEST(LocalHistoryReader, OldestFirstFileLongerThanTheCapacityKeepsTheNewestLines) {
  TempFolder dir;
  WriteFile(dir.file("long.csv"), "Date,Open\n" + rows(1, 2000, false));
  const Read r = readFile(dir.file("long.csv"));
  EXPECT_EQ(r.result, 1094);
  EXPECT_EQ((*r.series)[0].close, 2000);
  EXPECT_EQ((*r.series)[1094].close, 2000 - 1094);
}

TEST(LocalHistoryReader, HeaderOfANewestFirstFileIsSkipped) {
  TempFolder dir;
  WriteFile(dir.file("h.csv"), "Date,Open,High,Low,Close,Volume\n" + rows(1, 5, true));
  const Read r = readFile(dir.file("h.csv"));
  EXPECT_EQ(r.result, 4);
  EXPECT_EQ((*r.series)[0].close, 5);
  EXPECT_EQ((*r.series)[4].close, 1);
}

TEST(LocalHistoryReader, SameDateCountsAsNewestFirst) {
  TempFolder dir;
  WriteFile(dir.file("same.csv"), "1/2/2020,1,1,1,3,1\n1/2/2020,1,1,1,2,1\n1/1/2020,1,1,1,1,1\n");
  const Read r = readFile(dir.file("same.csv"));
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ((*r.series)[0].close, 3);
}

TEST(LocalHistoryReader, FailuresGiveMinusOne) {
  TempFolder dir;
  EXPECT_EQ(readFile(dir.file("missing.csv")).result, -1);
  WriteFile(dir.file("one.csv"), "Date,Open\n" + row(1) + "no digit here\n");
  EXPECT_EQ(readFile(dir.file("one.csv")).result, -1);
  WriteFile(dir.file("empty.csv"), "");
  EXPECT_EQ(readFile(dir.file("empty.csv")).result, -1);
  WriteFile(dir.file("two.csv"), rows(1, 2, true));
  EXPECT_EQ(readFile(dir.file("two.csv"), 1).result, -1);  // no room to tell the order
  EXPECT_EQ(readFile(dir.file("two.csv"), 2).result, 1);
}

// What a damaged setting may name instead of a history file: a device that
// never ends, a FIFO nobody writes, a file far too large. Each is refused at
// once; a stop ends the reading of a long one.
TEST(LocalHistoryReader, OnlyBoundedRegularFilesAreReadAndAStopEndsTheReading) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo.csv").c_str(), 0600), 0);
  WriteFile(dir.file("huge.csv"), rows(1, 3, true));
  ASSERT_EQ(::truncate(dir.file("huge.csv").c_str(), kMaxLocalHistoryBytes + 1), 0);
  for (const std::string& path : {std::string("/dev/zero"), dir.file("fifo.csv"), dir.file("huge.csv")})
    EXPECT_EQ(readFile(path).result, -1) << path;

  WriteFile(dir.file("long.csv"), rows(1, 20000, false));
  const std::atomic<bool> stop{true};
  auto series = std::make_unique<QuoteSeries>();
  EXPECT_EQ(ReadLocalHistoryFile(dir.file("long.csv").c_str(), kHistoryCapacity, series->data(), &stop), -1);
  EXPECT_EQ(readFile(dir.file("long.csv")).result, kHistoryCapacity - 1);
}

TEST(LocalHistoryReader, LongLinesAreReadInPiecesOf127Characters) {
  // A 200-character comment at the top of an oldest-first file takes two
  // lines of the ring, so 3 data rows give 5 entries.
  TempFolder dir;
  WriteFile(dir.file("long.csv"), "#" + std::string(199, 'x') + "\n" + rows(1, 3, false));
  const Read r = readFile(dir.file("long.csv"));
  EXPECT_EQ(r.result, 4);
  EXPECT_EQ((*r.series)[0].close, 3);
  EXPECT_EQ((*r.series)[2].close, 1);
}

TEST(ParseLocalHistoryLine, FillsTheSixFieldsAndNothingElse) {
  QuoteBar bar;
  bar.SetTime("4:00pm");
  bar.ema5 = 7;
  EXPECT_TRUE(ParseLocalHistoryLine("6-Dec-05,1.5,2.5,0.5,2.25,12345,99\n", bar));
  EXPECT_STREQ(bar.date, "6-Dec-05");
  EXPECT_EQ(bar.open, 1.5);
  EXPECT_EQ(bar.high, 2.5);
  EXPECT_EQ(bar.low, 0.5);
  EXPECT_EQ(bar.close, 2.25);
  EXPECT_EQ(bar.volume, 12345);
  EXPECT_STREQ(bar.time, "4:00pm");  // not reset, time not set
  EXPECT_EQ(bar.ema5, 7);
}

TEST(ParseLocalHistoryLine, PartialLinesLeaveTheRestAlone) {
  QuoteBar bar;
  bar.close = 42;
  bar.volume = 7;
  EXPECT_TRUE(ParseLocalHistoryLine("Date,Open,High", bar));
  EXPECT_STREQ(bar.date, "Date");
  EXPECT_EQ(bar.close, 42);
  EXPECT_TRUE(ParseLocalHistoryLine("1/2/2020,1,2,0.5,1.5", bar));
  EXPECT_EQ(bar.close, 1.5);
  EXPECT_EQ(bar.volume, 7);
  EXPECT_TRUE(ParseLocalHistoryLine("", bar));
  EXPECT_EQ(bar.close, 1.5);
}

TEST(ParseLocalHistoryLine, LongDateIsCut) {
  QuoteBar bar;
  EXPECT_TRUE(ParseLocalHistoryLine("2020-01-02T00:00,1,2,0.5,1.5,3000", bar));
  EXPECT_STREQ(bar.date, "2020-01-02");
  EXPECT_EQ(bar.open, 1);  // the rest of the date token is not read as a number
  EXPECT_EQ(bar.volume, 3000);
}

// Index volumes pass 2^31 and 2^32: every digit is kept, up to the largest
// plausible volume; one share more makes the line unreadable, never clipped.
TEST(ParseLocalHistoryLine, VolumesBeyond32BitsAreKeptInFull) {
  QuoteBar bar;
  EXPECT_TRUE(ParseLocalHistoryLine("4/16/2020,2799.34,2806.51,2764.32,2799.55,5179990000", bar));
  EXPECT_EQ(bar.volume, 5179990000);
  EXPECT_TRUE(ParseLocalHistoryLine("4/17/2020,1,1,1,1,9999999999\n", bar));
  EXPECT_EQ(bar.volume, 9999999999);
  EXPECT_TRUE(ParseLocalHistoryLine("4/18/2020,1,1,1,1,2147483648,7", bar));
  EXPECT_EQ(bar.volume, 2147483648);
  EXPECT_TRUE(ParseLocalHistoryLine("4/19/2020,1,1,1,1,1000000000000000", bar));
  EXPECT_EQ(bar.volume, 1000000000000000);
  for (const char* beyond : {"4/20/2020,1,1,1,1,1000000000000001", "4/20/2020,1,1,1,1,9223372036854775807",
                             "4/20/2020,1,1,1,1,18446744073709551616"}) {
    EXPECT_FALSE(ParseLocalHistoryLine(beyond, bar)) << beyond;
    EXPECT_EQ(bar.volume, 1000000000000000) << beyond;
    EXPECT_STREQ(bar.date, "4/19/2020") << beyond;
  }
}

TEST(LocalHistoryReader, VolumesBeyond32BitsSurviveEitherOrder) {
  TempFolder dir;
  const std::string newest =
      "4/16/2020,2799.34,2806.51,2764.32,2799.55,5179990000\n"
      "4/15/2020,2795.64,2801.88,2761.54,2783.36,9999999999\n"
      "4/14/2020,2805.10,2851.85,2805.10,2846.06,5567400000\n";
  WriteFile(dir.file("down.csv"), newest);
  const Read down = readFile(dir.file("down.csv"));
  ASSERT_EQ(down.result, 2);
  EXPECT_EQ((*down.series)[0].volume, 5179990000);
  EXPECT_EQ((*down.series)[1].volume, 9999999999);
  EXPECT_EQ((*down.series)[2].volume, 5567400000);

  WriteFile(dir.file("up.csv"),
            "4/14/2020,2805.10,2851.85,2805.10,2846.06,5567400000\n"
            "4/15/2020,2795.64,2801.88,2761.54,2783.36,9999999999\n"
            "4/16/2020,2799.34,2806.51,2764.32,2799.55,5179990000\n");
  const Read up = readFile(dir.file("up.csv"));
  ASSERT_EQ(up.result, 2);
  EXPECT_EQ((*up.series)[0].volume, 5179990000);
  EXPECT_EQ((*up.series)[1].volume, 9999999999);
  EXPECT_EQ((*up.series)[2].volume, 5567400000);
}

TEST(ParseLocalHistoryLine, UnreadableLinesLeaveTheBarUntouched) {
  QuoteBar bar;
  ASSERT_TRUE(ParseLocalHistoryLine("1/2/2020,1,2,0.5,1.5,100", bar));
  for (const char* hostile :
       {"1/3/2020,1e300,1e300,1e300,1e300,100", "1/3/2020,inf,2,0.5,1.5,100", "1/3/2020,1,nan,0.5,1.5,100",
        "1/3/2020,1,2,-0.5,1.5,100", "1/3/2020,1,2,0.5,1000000001,100", "1/3/2020,1,2,0.5,1.5,1e20",
        "1/3/2020,1,2,0.5,1.5,1000000000000001", "1/3/2020,1,2,0.5,1.5,-99999999999",
        "1/3/2020,1,2,0.5,1.5,nan", "1/3/2020,-inf"}) {
    EXPECT_FALSE(ParseLocalHistoryLine(hostile, bar)) << hostile;
    EXPECT_STREQ(bar.date, "1/2/2020") << hostile;
    EXPECT_EQ(bar.close, 1.5) << hostile;
    EXPECT_EQ(bar.volume, 100) << hostile;
  }
}

TEST(LocalHistoryReader, UnreadableLinesAreSkippedInEitherOrder) {
  TempFolder dir;
  const std::string bad = "1/6/2000,inf,1e300,1,nan,1e20\n";
  WriteFile(dir.file("down.csv"), bad + rows(4, 5, true) + bad + rows(1, 3, true));
  const Read down = readFile(dir.file("down.csv"));
  EXPECT_EQ(down.result, 4);
  for (int i = 0; i < 5; ++i) EXPECT_EQ((*down.series)[i].close, 5 - i) << i;

  WriteFile(dir.file("up.csv"), rows(1, 3, false) + bad + rows(4, 5, false) + bad);
  const Read up = readFile(dir.file("up.csv"));
  EXPECT_EQ(up.result, 4);
  for (int i = 0; i < 5; ++i) EXPECT_EQ((*up.series)[i].close, 5 - i) << i;
}

}  // namespace
}  // namespace velmora
