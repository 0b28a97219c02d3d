// HttpGet on POSIX systems, through libcurl.
#include <curl/curl.h>

#include <mutex>

#include "platform/platform.h"

namespace vantor::platform {
namespace {

// Only a success status carries the resource; an error page's body is no answer to the request.
bool IsSuccess(long status) {
  return status >= 200 && status <= 299;
}

long StatusOf(CURL* curl) {
  long status = 0;
  return curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK ? status : 0;
}

struct Sink {
  CURL* curl;
  std::string* reply;
  size_t room;  // bytes the reply may still take
  bool arrived = false;
};

size_t Append(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t bytes = size * count;
  // Taking nothing ends the transfer: the body of an error reply is not read.
  if (!IsSuccess(StatusOf(sink->curl))) return 0;
  if (bytes > 0) sink->arrived = true;
  const size_t taken = bytes < sink->room ? bytes : sink->room;
  sink->reply->append(data, taken);
  sink->room -= taken;
  // Taking fewer bytes than offered ends the transfer once the limit is reached.
  return taken;
}

}  // namespace

bool HttpGet(const std::string& host, int port, const std::string& path,
             const std::string& user_agent, int timeout_ms, size_t max_size, std::string* reply) {
  if (!reply || host.empty() || port <= 0 || port > 65535) return false;
  // libcurl's global set-up is not safe to race with another instance's first request.
  static std::once_flag init_once;
  static bool init_ok = false;
  std::call_once(init_once, [] { init_ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  if (!init_ok) return false;

  CURL* curl = curl_easy_init();
  if (!curl) return false;
  const std::string url = "http://" + host + ":" + std::to_string(port) +
                          (path.empty() || path[0] != '/' ? "/" : "") + path;
  Sink sink{curl, reply, max_size};
  curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
  const long timeout = timeout_ms > 0 ? timeout_ms : 1;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(curl, CURLOPT_PROXY, "");  // direct, whatever the environment says
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, user_agent.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeout);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeout);
  // Signals would reach the host's handlers; the resolver then runs without an alarm.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  const CURLcode result = curl_easy_perform(curl);
  const bool success = IsSuccess(StatusOf(curl));
  curl_easy_cleanup(curl);
  curl_slist_free_all(headers);
  return success && (result == CURLE_OK || sink.arrived);
}

}  // namespace vantor::platform
