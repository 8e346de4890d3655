// Yahoo chart answers (JSON) with any status: read as a history and as quotes,
// the results checked and put through the classic bar readers.

#include "provider_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velmora::fuzz::ReadAnswer(velmora::ProviderId::kYahooChart, data, size);
  return 0;
}
