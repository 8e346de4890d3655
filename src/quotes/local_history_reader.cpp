#include "quotes/local_history_reader.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "base/text_helpers.h"

namespace velmora {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool startsWithDigit(const char* line) { return line[0] >= '0' && line[0] <= '9'; }

int dateKey(const QuoteBar& bar) {
  int year = 0, month = 0, day = 0;
  ParseDate(bar.date, year, month, day);
  return DateKeyFromParts(year, month, day);
}

// The volume read as "%d" would, but beyond the 32-bit range it keeps the
// nearest limit (index volumes exceed 2,147,483,647).
bool readVolume(const char* text, std::int32_t& volume) {
  char* stop = nullptr;
  const long long v = std::strtoll(text, &stop, 10);
  if (stop == text) return false;
  volume = v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<std::int32_t>(v));
  return true;
}

// Newest-first file: every further line that begins with a digit, in order.
int readForward(std::FILE* f, int stored, int capacity, QuoteBar* bars) {
  char line[kLocalLineBuffer];
  while (stored < capacity && std::fgets(line, sizeof line, f)) {
    if (startsWithDigit(line)) ParseLocalHistoryLine(line, bars[stored++]);
  }
  return stored;
}

// Oldest-first file: the start of every line goes into a ring of `capacity`
// offsets, then the last `capacity` lines are read back newest first.
int readBackward(std::FILE* f, int capacity, QuoteBar* bars) {
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
  }
  const int count = lines < capacity ? static_cast<int>(lines) : capacity;
  for (int k = 0; k < count; ++k) {
    const long long index = lines - 1 - k;
    if (fseeko(f, ring[static_cast<std::size_t>(index % capacity)], SEEK_SET) != 0 ||
        !std::fgets(line, sizeof line, f)) {
      return k;  // the file changed under us; keep what was read
    }
    ParseLocalHistoryLine(line, bars[k]);
  }
  return count;
}

}  // namespace

void ParseLocalHistoryLine(const char* line, QuoteBar& bar) {
  char text[kLocalLineBuffer];
  CopyBounded(text, sizeof text, line);
  ReplaceChar(text, ',', ' ');
  char date[kLocalLineBuffer];
  int used = 0;
  const int n =
      std::sscanf(text, "%127s%lf%lf%lf%lf%n", date, &bar.open, &bar.high, &bar.low, &bar.close, &used);
  if (n >= 1) bar.SetDate(date);  // a longer date token is cut to 10 characters
  if (n == 5) readVolume(text + used, bar.volume);
}

int ReadLocalHistoryFile(const char* path, int capacity, QuoteBar* bars) {
  // Two slots are needed to tell the order of the file.
  if (path == nullptr || bars == nullptr || capacity < 2) return -1;
  File f(std::fopen(path, "r"));
  if (!f) return -1;
  char line[kLocalLineBuffer];
  int stored = 0;
  while (stored < 2 && std::fgets(line, sizeof line, f.get())) {
    if (startsWithDigit(line)) ParseLocalHistoryLine(line, bars[stored++]);
  }
  if (stored < 2) return -1;
  if (dateKey(bars[0]) >= dateKey(bars[1])) {
    stored = readForward(f.get(), stored, capacity, bars);
  } else {
    stored = readBackward(f.get(), capacity, bars);
  }
  return stored - 1;
}

}  // namespace velmora
