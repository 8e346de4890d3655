#include "quotes/html_history.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "net/temp_file.h"
#include "quotes/history_parser.h"

namespace velmora {

namespace {

constexpr std::size_t kTagBuffer = 1024;

// The converter's state between input chunks.
class TableConverter {
 public:
  explicit TableConverter(std::FILE* out) : out_(out) {}

  void Feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) take(data[i]);
    if (pending_.size() >= 65536) flush();
  }

  // An unterminated tag at the end of the input is copied out raw.
  [[nodiscard]] bool Finish() {
    if (inTag_ && !rawTag_) pending_.append(tag_, tagLength_);
    flush();
    return std::ferror(out_) == 0;
  }

 private:
  void take(char c) {
    if (inTag_) {
      if (c == '<') {  // another tag starts: the collected text was no tag
        if (!rawTag_) pending_.append(tag_, tagLength_);
        startTag();
      } else if (rawTag_) {
        // A tag too long for the buffer passes through unchanged.
        pending_ += c;
        if (c == '>') inTag_ = rawTag_ = false;
      } else if (tagLength_ == kTagBuffer) {
        pending_.append(tag_, tagLength_);
        pending_ += c;
        rawTag_ = c != '>';
        inTag_ = rawTag_;
      } else {
        tag_[tagLength_++] = c;
        if (c == '>') {
          completeTag();
          inTag_ = false;
        }
      }
    } else if (c == '<') {
      startTag();
    } else if (c != ',') {
      pending_ += c;
    }
  }

  void startTag() {
    inTag_ = true;
    rawTag_ = false;
    tag_[0] = '<';
    tagLength_ = 1;
  }

  bool tagBegins(const char* prefix) const {
    const std::size_t n = std::strlen(prefix);
    return tagLength_ >= n && std::memcmp(tag_, prefix, n) == 0;
  }

  void completeTag() {
    if (tagBegins("<table") || tagBegins("<tr")) {
      pending_ += '\n';
      firstCell_ = true;
    } else if (tagBegins("<td")) {
      if (!firstCell_) pending_ += ',';
      firstCell_ = false;
    } else if (tagLength_ == 8 && std::memcmp(tag_, "</table>", 8) == 0) {
      pending_ += '\n';
      firstCell_ = true;
    }
  }

  void flush() {
    if (!pending_.empty()) std::fwrite(pending_.data(), 1, pending_.size(), out_);
    pending_.clear();
  }

  std::FILE* out_;
  std::string pending_;
  char tag_[kTagBuffer];
  std::size_t tagLength_ = 0;
  bool inTag_ = false;
  bool rawTag_ = false;
  bool firstCell_ = true;
};

}  // namespace

bool ConvertHtmlTableToCsv(const char* htmlPath, const char* csvPath) {
  std::FILE* in = std::fopen(htmlPath, "r");
  if (in == nullptr) return false;
  std::FILE* out = std::fopen(csvPath, "w");
  if (out == nullptr) {
    std::fclose(in);
    return false;
  }
  TableConverter converter(out);
  char chunk[16384];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) converter.Feed(chunk, n);
  bool ok = converter.Finish();
  std::fclose(in);
  ok = std::fclose(out) == 0 && ok;
  return ok;
}

bool ExtractHistoryTable(const char* path) {
  std::string converted;
  if (!CreateTempFile(converted)) return false;
  if (!ConvertHtmlTableToCsv(path, converted.c_str())) {
    std::remove(converted.c_str());
    return false;
  }
  std::FILE* in = std::fopen(converted.c_str(), "r");
  if (in == nullptr) {
    std::remove(converted.c_str());
    return false;
  }
  char line[1024];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, in) != nullptr) {
    found = std::strstr(line, kHistoryHeader) != nullptr;
  }
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    std::fclose(in);
    std::remove(converted.c_str());
    return false;
  }
  std::fprintf(out, "%s\n", kHistoryHeader);
  while (found && std::fgets(line, sizeof line, in) != nullptr) {
    if (std::strstr(line, kHistoryFootnote) != nullptr) break;
    std::fputs(line, out);
  }
  std::fclose(in);
  const bool written = std::fclose(out) == 0;
  std::remove(converted.c_str());
  return written;
}

}  // namespace velmora
