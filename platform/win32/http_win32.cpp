// HttpGet on Windows: one GET through WinINet, read in 1024-byte pieces.
#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "platform/platform.h"

namespace vantor::platform {
namespace {

// Closes a WinINet handle at the end of the scope; declared in opening order, so the request,
// the connection and the session close in that order.
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_) InternetCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

// Bounds connecting, sending and each wait for data. Set on the session for the connection and
// again on the request, as some WinINet versions do not pass them down to it.
void SetTimeouts(HINTERNET handle, int timeout_ms) {
  if (timeout_ms <= 0) return;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    DWORD milliseconds = static_cast<DWORD>(timeout_ms);
    InternetSetOptionA(handle, option, &milliseconds, sizeof milliseconds);
  }
}

}  // namespace

bool HttpGet(const std::string& host, int port, const std::string& path,
             const std::string& user_agent, int timeout_ms, size_t max_size, std::string* reply) {
  if (!reply || host.empty() || port < 1 || port > 65535) return false;
  const InternetHandle session(
      InternetOpenA(user_agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) return false;
  SetTimeouts(session.get(), timeout_ms);
  const InternetHandle connection(InternetConnectA(session.get(), host.c_str(),
                                                   static_cast<INTERNET_PORT>(port), nullptr,
                                                   nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return false;
  const std::string object = path.empty() || path.front() != '/' ? "/" + path : path;
  const char* accept[] = {"*/*", nullptr};
  // Never from or into the cache: each call asks the server again.
  const InternetHandle request(
      HttpOpenRequestA(connection.get(), "GET", object.c_str(), nullptr, nullptr, accept,
                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request) return false;
  SetTimeouts(request.get(), timeout_ms);
  if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return false;
  // WinINet hands over the body of an error reply as readily as a resource; only a success
  // status (after the redirections it followed) answers the request.
  DWORD status = 0;
  DWORD status_size = sizeof status;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &status_size, nullptr) ||
      status < 200 || status > 299) {
    return false;
  }

  // Each read waits at most the timeout; a server that trickles bytes is cut off at the deadline.
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0));
  char buffer[1024];
  size_t appended = 0;
  bool answered = false;
  while (appended < max_size && (timeout_ms <= 0 || GetTickCount64() < deadline)) {
    DWORD read = 0;
    if (!InternetReadFile(request.get(), buffer, sizeof buffer, &read)) {
      // A failure after some of the body leaves what arrived; before it, the request failed.
      return answered;
    }
    answered = true;
    if (read == 0) break;
    const size_t take = std::min<size_t>(read, max_size - appended);
    reply->append(buffer, take);
    appended += take;
  }
  // Past the deadline before the first read, nothing arrived.
  return answered || appended == max_size;
}

}  // namespace vantor::platform
