#pragma once

#include "core/quote_bar.h"

namespace velmora {

// The bar's DateKey, remembered per date and time text by each thread: the
// bars of a list of securities share their dates, and reading a date text
// costs more than trading the bar. A thread keeps at most 65,536 texts.
int CachedDateKey(const QuoteBar& bar);

// A date key as "MM/DD/YYYY", the reports' way (the year as it stands
// when it has more digits). `out` holds at least 16 characters.
void FormatDateKey(int key, char* out, int size);

}  // namespace velmora
