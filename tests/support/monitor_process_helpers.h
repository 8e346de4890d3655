#pragma once

// Helpers for tests that run the real velmora-monitor against the real
// quote-standin in a temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace velmora::test {

// Config.ini (CR line ends) whose three quote URLs point at `port`.
inline void WriteMonitorConfig(const TempFolder& folder, int port, const std::string& extraLines) {
  const std::string base = "http://127.0.0.1:" + std::to_string(port);
  std::string text = "YahooRealTimeQuoteSpreadSheetURL=" + base + "/d/quotes.csv\r" +
                     "YahooHistoryQuoteSpreadSheetURL=" + base + "/table.csv\r" +
                     "YahooHistoryQuoteURL=" + base + "/q/hp\r";
  std::string::size_type from = 0;
  while (from < extraLines.size()) {
    auto nl = extraLines.find('\n', from);
    if (nl == std::string::npos) nl = extraLines.size();
    text += extraLines.substr(from, nl - from) + "\r";
    from = nl + 1;
  }
  WriteFile(folder.file("Config.ini"), text);
}

// The log's texts without their time stamps.
inline std::vector<std::string> MonitorLog(const TempFolder& folder) {
  std::vector<std::string> texts;
  for (const std::string& line : SplitLines(ReadFile(folder.file("Trevanta Software.log")))) {
    const auto at = line.find(": ");
    texts.push_back(at == std::string::npos ? line : line.substr(at + 2));
  }
  return texts;
}

inline int IndexIn(const std::vector<std::string>& lines, const std::string& text) {
  const auto it = std::find(lines.begin(), lines.end(), text);
  return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

inline int CountIn(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

inline bool WaitForLog(const TempFolder& folder, const std::string& text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (IndexIn(MonitorLog(folder), text) >= 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// Reads the child's output lines until it ends (or the time is up), then
// returns its exit status (-1 on time-out). Reading keeps a chatty child
// from blocking on a full pipe.
inline int RunToEnd(ChildProcess& child, std::vector<std::string>& lines,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (child.ReadLine(line, left)) {
      lines.push_back(line);
      continue;
    }
    break;
  }
  return child.Wait(std::chrono::milliseconds(2000));
}

// What a program run to its end printed, and how it ended (-1: it could
// not start or did not end in time).
struct ProgramOutcome {
  int status = -1;
  std::vector<std::string> out;
  std::string err;
};

// Runs one of the project's programs with `args` in `dir` to its end.
inline ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& dir = "",
                                 std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  std::vector<std::string> argv{BinPath(program)};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv, dir);
  ProgramOutcome r;
  if (!child.started()) return r;
  r.status = RunToEnd(child, r.out, timeout);
  r.err = child.DrainStderr();
  return r;
}

// Reads the child's output until a line equal to `text` (true) or the time is up.
inline bool ReadUntil(ChildProcess& child, const std::string& text,
                      std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!child.ReadLine(line, left)) return false;
    if (line == text) return true;
  }
  return false;
}

// One line of the stand-in's request log.
struct StandinRequest {
  double seconds = 0;  // UTC, with milliseconds
  std::string path;    // "/table.csv", "/d/quotes.csv", ...
  std::string symbol;  // the s= value, decoded for '^' only
  int status = 0;
};

inline std::vector<StandinRequest> ReadRequestLog(const std::string& path) {
  std::vector<StandinRequest> requests;
  for (const std::string& line : SplitLines(ReadFile(path))) {
    // TIME CLIENT METHOD TARGET STATUS BYTES DURATION FAULT
    std::vector<std::string> words;
    std::string::size_type from = 0;
    while (from < line.size()) {
      auto sp = line.find(' ', from);
      if (sp == std::string::npos) sp = line.size();
      words.push_back(line.substr(from, sp - from));
      from = sp + 1;
    }
    if (words.size() < 5) continue;
    StandinRequest r;
    std::tm tm{};
    int millis = 0;
    if (std::sscanf(words[0].c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &millis) != 7)
      continue;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    r.seconds = static_cast<double>(timegm(&tm)) + millis / 1000.0;
    const std::string& target = words[3];
    r.path = target.substr(0, target.find('?'));
    const auto s = target.find("s=");
    if (s != std::string::npos) {
      const auto end = target.find('&', s);
      r.symbol = target.substr(s + 2, end == std::string::npos ? std::string::npos : end - s - 2);
      for (std::string::size_type at; (at = r.symbol.find("%5E")) != std::string::npos;)
        r.symbol.replace(at, 3, "^");
    }
    r.status = std::atoi(words[4].c_str());
    requests.push_back(r);
  }
  return requests;
}

}  // namespace velmora::test

namespace velmora::test {

inline bool WaitUntilFile(const std::string& path,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!FileExists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace velmora::test
