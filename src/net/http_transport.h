#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "net/url_parts.h"

namespace velmora {

class InternetSession;

struct Credentials {
  std::string user;
  std::string password;
};

// One connection to one server carrying one request at a time: the part of
// the HTTP exchange that the network library does. HttpFetcher keeps every
// rule above it (redirects, authorization, status lines, line reading), so
// tests can put a scripted server behind this seam.
class HttpConnection {
 public:
  virtual ~HttpConnection() = default;

  // Sends GET `object` with the header block (CRLF-separated lines) and, when
  // given, the credentials; returns once the status line and headers of the
  // answer have arrived. False on a library error (name resolution, refused
  // connection, time-out, abort by the stop flag), with its text in `error`.
  // May be called again on the same connection to resend.
  [[nodiscard]] virtual bool Send(const std::string& object, const std::string& headerBlock,
                                  const Credentials* credentials, std::string& error) = 0;

  // Status of the last answer; raw header block of the last answer, each
  // line ending in CRLF (status line first).
  virtual int Status() const = 0;
  virtual std::string RawHeaders() const = 0;

  // Up to `size` bytes of the body: a count above 0, 0 at its end, -1 on a
  // library error (with its text in `error`).
  [[nodiscard]] virtual long Read(char* buffer, std::size_t size, std::string& error) = 0;
};

// What a transport keeps for one session between its requests (the network
// library's handles and caches), so that consecutive requests of the
// session reuse them. The transport makes it on the session's first
// request; the session holds it, and so does every connection using it.
class TransportSessionState {
 public:
  virtual ~TransportSessionState() = default;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Null when no connection object can be made for the server. Keeps what
  // it needs between requests in the session's transport state.
  [[nodiscard]] virtual std::unique_ptr<HttpConnection> Connect(const UrlParts& url,
                                                                InternetSession& session) = 0;
};

// The libcurl transport; shared, safe to use from every thread. What it
// keeps for a session lives in that session.
[[nodiscard]] std::shared_ptr<HttpTransport> DefaultHttpTransport();

}  // namespace velmora
