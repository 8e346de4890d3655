#include "market/text_out.h"

namespace velmora::standin {

void AppendInt(std::string& out, std::int64_t value) {
  char digits[24];
  int n = 0;
  const bool negative = value < 0;
  std::uint64_t v = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) out += '-';
  while (n > 0) out += digits[--n];
}

void AppendCents(std::string& out, std::int64_t cents) {
  if (cents < 0) {
    out += '-';
    cents = -cents;
  }
  AppendInt(out, cents / 100);
  out += '.';
  out += static_cast<char>('0' + (cents / 10) % 10);
  out += static_cast<char>('0' + cents % 10);
}

void AppendSignedCents(std::string& out, std::int64_t cents) {
  if (cents > 0) out += '+';
  AppendCents(out, cents);
}

void AppendSignedPercent(std::string& out, std::int64_t change, std::int64_t previousClose) {
  if (previousClose <= 0) {
    out += "0.00%";
    return;
  }
  // Hundredths of a percent, rounded half away from zero.
  const std::int64_t scaled = change * 10000;
  const std::int64_t half = previousClose / 2;
  const std::int64_t hundredths =
      scaled >= 0 ? (scaled + half) / previousClose : -((-scaled + half) / previousClose);
  AppendSignedCents(out, hundredths);
  out += '%';
}

void AppendThousands(std::string& out, std::int64_t value) {
  if (value < 0) {
    AppendInt(out, value);
    return;
  }
  std::string plain;
  AppendInt(plain, value);
  const std::size_t lead = plain.size() % 3 == 0 ? 3 : plain.size() % 3;
  out.append(plain, 0, lead);
  for (std::size_t i = lead; i < plain.size(); i += 3) {
    out += ',';
    out.append(plain, i, 3);
  }
}

void AppendHtml(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

}  // namespace velmora::standin
