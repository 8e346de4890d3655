#include "classic/quote_records.h"

#include <algorithm>

#include "market/calendar.h"
#include "market/text_out.h"

namespace velmora::standin {

bool IsValidFieldList(std::string_view fields) {
  if (fields.empty()) return false;
  int count = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const char c = fields[i];
    if (c >= 'a' && c <= 'z') {
      if (++count > 64) return false;
    } else if (c < '0' || c > '9' || i == 0 || fields[i - 1] < 'a' || fields[i - 1] > 'z') {
      return false;  // a digit must follow a letter directly
    }
  }
  return true;
}

namespace {

// Bid and ask sit a little below and above the last price; wider after hours.
std::int64_t spreadOf(const QuoteSnapshot& q) {
  const std::int64_t spread = std::max<std::int64_t>(1, q.last / 2000);
  return q.sessionMinute >= kSessionClosed ? 2 * spread : spread;
}

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  out += text;
  out += '"';
}

void appendField(std::string& out, std::string_view code, const QuoteSubject& subject,
                 const QuoteSnapshot& q) {
  const bool hasChange = q.previousClose > 0 && !subject.volumeOnly;
  const std::int64_t change = static_cast<std::int64_t>(q.last) - q.previousClose;
  const bool hasBook = !subject.isIndex && !subject.volumeOnly;
  const bool hasPrices = !subject.volumeOnly;
  if (code == "s" || code == "n") {
    appendQuoted(out, subject.symbol);
  } else if (code == "l1" || code == "l9" || code == "l") {
    if (subject.volumeOnly) {
      AppendInt(out, q.volume);
    } else {
      AppendCents(out, q.last);
    }
  } else if (code == "d1" || code == "d") {
    out += '"';
    AppendSlashDate(out, q.day);
    out += '"';
  } else if (code == "t1" || code == "t5" || code == "t") {
    appendQuoted(out, QuoteTimeText(q.sessionMinute));
  } else if (code == "c1" && hasChange) {
    AppendSignedCents(out, change);
  } else if (code == "c6" && hasChange) {
    out += '"';
    AppendSignedCents(out, change);
    out += '"';
  } else if ((code == "p2" || code == "p4") && hasChange) {
    out += '"';
    AppendSignedPercent(out, change, q.previousClose);
    out += '"';
  } else if (code == "c" && hasChange) {
    out += '"';
    AppendSignedCents(out, change);
    out += " - ";
    AppendSignedPercent(out, change, q.previousClose);
    out += '"';
  } else if (code == "p" && hasChange) {
    AppendCents(out, q.previousClose);
  } else if (code == "o" && hasPrices) {
    AppendCents(out, q.open);
  } else if (code == "h" && hasPrices) {
    AppendCents(out, q.high);
  } else if (code == "g" && hasPrices) {
    AppendCents(out, q.low);
  } else if (code == "v" && hasPrices) {
    AppendInt(out, q.volume);
  } else if ((code == "b" || code == "b1" || code == "b3") && hasBook) {
    AppendCents(out, std::max<std::int64_t>(1, q.last - spreadOf(q)));
  } else if ((code == "a" || code == "a3" || code == "b2") && hasBook) {
    AppendCents(out, q.last + spreadOf(q));
  } else {
    out += "N/A";
  }
}

}  // namespace

std::string QuoteRecord(const QuoteSubject& subject, std::string_view fields, const QuoteSnapshot& q) {
  std::string out;
  std::size_t i = 0;
  while (i < fields.size()) {
    std::size_t n = 1;
    if (i + 1 < fields.size() && fields[i + 1] >= '0' && fields[i + 1] <= '9') n = 2;
    if (i > 0) out += ',';
    appendField(out, fields.substr(i, n), subject, q);
    i += n;
  }
  out += '\n';
  return out;
}

}  // namespace velmora::standin
