#pragma once

// Why a chart's data could not be loaded, told apart so that the message
// names what the user can do: a symbol the quote service does not know
// calls for checking the symbol, a service that could not be reached, kept
// silent, cut its answer short or failed itself calls for checking the
// network or the service.

#include <string>

#include "chart_data/chart_transfer_record.h"

namespace velmora {

enum class ChartFailureKind {
  kNotFound,       // the service answered 404: it does not know the symbol
  kCannotConnect,  // no connection to the service
  kTimedOut,       // the service kept silent until the transfer gave up
  kCutShort,       // the answer broke off
  kServerError,    // the service answered with a 5xx status
  kOther,          // anything else (a local file, an unreadable answer, a refusal)
};

struct ChartLoadFailure {
  ChartFailureKind kind = ChartFailureKind::kOther;
  int status = 0;       // kServerError: the HTTP status
  std::string service;  // "host:port" of the service last asked; empty when none was
  std::string detail;   // kCannotConnect: "connection refused", "host not found", ... or empty
};

// The failure behind the quote layer's result code `code` (0 when the load
// had none, as for a local file), with what the load's last exchange left
// in `record`.
ChartLoadFailure ClassifyChartFailure(int code, const TransferRecord& record);

// Whether the failure is the quote service's rather than the symbol's.
bool IsServiceFailure(const ChartLoadFailure& failure);

}  // namespace velmora
