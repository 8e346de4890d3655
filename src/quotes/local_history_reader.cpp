#include "quotes/local_history_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "base/text_helpers.h"
#include "quotes/plausible_number.h"

namespace velmora {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool startsWithDigit(const char* line) { return line[0] >= '0' && line[0] <= '9'; }

// The file for reading when it is a regular file of a bounded size; opened
// without blocking, so a FIFO in its place costs nothing.
File openRegular(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return File(nullptr);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxLocalHistoryBytes) {
    ::close(fd);
    return File(nullptr);
  }
  File f(::fdopen(fd, "r"));
  if (!f) ::close(fd);
  return f;
}

// Lines between two looks at the stop flag.
constexpr long long kStopCheckLines = 4096;

bool stopped(const std::atomic<bool>* stop) {
  return stop != nullptr && stop->load(std::memory_order_relaxed);
}

int dateKey(const QuoteBar& bar) {
  int year = 0, month = 0, day = 0;
  ParseDate(bar.date, year, month, day);
  return DateKeyFromParts(year, month, day);
}

// The volume after the close. False when there is none; `plausible` tells
// whether the number read can be a volume (a finite count of 0 .. 1e15).
[[nodiscard]] bool readVolume(const char* text, double& volume, bool& plausible) {
  char* stop = nullptr;
  volume = std::strtod(text, &stop);
  if (stop == text) return false;
  plausible = IsPlausibleVolume(volume);
  return true;
}

// Newest-first file: every further line that begins with a digit, in order.
[[nodiscard]] int readForward(std::FILE* f, int stored, int capacity, QuoteBar* bars,
                              const std::atomic<bool>* stop) {
  char line[kLocalLineBuffer];
  for (long long n = 1; stored < capacity && std::fgets(line, sizeof line, f); ++n) {
    if (n % kStopCheckLines == 0 && stopped(stop)) return -1;
    if (startsWithDigit(line) && ParseLocalHistoryLine(line, bars[stored])) ++stored;
  }
  return stored;
}

// Oldest-first file: the start of every line goes into a ring of `capacity`
// offsets, then the last `capacity` lines are read back newest first.
[[nodiscard]] int readBackward(std::FILE* f, int capacity, QuoteBar* bars, const std::atomic<bool>* stop) {
  std::unique_ptr<off_t[]> ring(new (std::nothrow) off_t[static_cast<std::size_t>(capacity)]);
  if (!ring) return 0;
  std::rewind(f);
  char line[kLocalLineBuffer];
  long long lines = 0;
  for (;;) {
    const off_t offset = ftello(f);
    if (!std::fgets(line, sizeof line, f)) break;
    ring[static_cast<std::size_t>(lines % capacity)] = offset;
    ++lines;
    if (lines % kStopCheckLines == 0 && stopped(stop)) return -1;
  }
  const int count = lines < capacity ? static_cast<int>(lines) : capacity;
  int stored = 0;
  for (int k = 0; k < count; ++k) {
    const long long index = lines - 1 - k;
    if (fseeko(f, ring[static_cast<std::size_t>(index % capacity)], SEEK_SET) != 0 ||
        !std::fgets(line, sizeof line, f)) {
      return stored;  // the file changed under us; keep what was read
    }
    if (ParseLocalHistoryLine(line, bars[stored])) ++stored;
  }
  return stored;
}

}  // namespace

bool ParseLocalHistoryLine(const char* line, QuoteBar& bar) {
  char text[kLocalLineBuffer];
  CopyBounded(text, sizeof text, line);
  ReplaceChar(text, ',', ' ');
  char date[kLocalLineBuffer];
  double prices[4] = {bar.open, bar.high, bar.low, bar.close};
  int used = 0;
  const int n =
      std::sscanf(text, "%127s%lf%lf%lf%lf%n", date, &prices[0], &prices[1], &prices[2], &prices[3], &used);
  // Every number the line holds must be plausible, or nothing of it is taken.
  for (int i = 0; i + 1 < n; ++i) {
    if (!IsPlausiblePrice(prices[i])) return false;
  }
  double volume = 0;
  bool plausibleVolume = true;
  const bool haveVolume = n == 5 && readVolume(text + used, volume, plausibleVolume);
  if (!plausibleVolume) return false;
  if (n >= 1) bar.SetDate(date);  // a longer date token is cut to 10 characters
  bar.open = prices[0];
  bar.high = prices[1];
  bar.low = prices[2];
  bar.close = prices[3];
  if (haveVolume) bar.volume = StoredVolume(volume);
  return true;
}

int ReadLocalHistoryFile(const char* path, int capacity, QuoteBar* bars, const std::atomic<bool>* stop) {
  // Two slots are needed to tell the order of the file.
  if (path == nullptr || bars == nullptr || capacity < 2) return -1;
  File f = openRegular(path);
  if (!f) return -1;
  char line[kLocalLineBuffer];
  int stored = 0;
  for (long long n = 1; stored < 2 && std::fgets(line, sizeof line, f.get()); ++n) {
    if (n % kStopCheckLines == 0 && stopped(stop)) return -1;
    if (startsWithDigit(line) && ParseLocalHistoryLine(line, bars[stored])) ++stored;
  }
  if (stored < 2) return -1;
  if (dateKey(bars[0]) >= dateKey(bars[1])) {
    stored = readForward(f.get(), stored, capacity, bars, stop);
  } else {
    stored = readBackward(f.get(), capacity, bars, stop);
  }
  return stored < 0 ? -1 : stored - 1;
}

}  // namespace velmora
