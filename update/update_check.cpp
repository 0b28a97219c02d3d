// The online version check: one HTTP request, the reply read as a version code, a message box.
#include "update/update_check.h"

#include <cctype>
#include <cstdio>
#include <limits>
#include <new>

#include "editor/graphics.h"
#include "platform/platform.h"

namespace vantor {
namespace {

constexpr char kProductName[] = "Vantor";
constexpr char kVersionPath[] = "/music/version/?file=vantor";
constexpr char kDownloadPath[] = "/music/vst.html";
// A version code is a few digits; anything longer is not a reply we understand anyway.
constexpr size_t kMaxReply = 64 * 1024;

// The web host without its "www.", as the messages name the maker.
std::string Domain(const std::string& web_host) {
  return web_host.rfind("www.", 0) == 0 ? web_host.substr(4) : web_host;
}

std::string ContactErrorText(const std::string& web_host) {
  return "An error occurred while contacting " + Domain(web_host) + ".";
}

}  // namespace

UpdateServer MakerUpdateServer(const std::string& web_host) {
  return UpdateServer{web_host, 80, kVersionPath, 10000, web_host};
}

std::string DownloadPageUrl(const std::string& web_host) {
  return "http://" + web_host + kDownloadPath;
}

int32_t ParseVersionCode(const std::string& reply) {
  size_t i = 0;
  while (i < reply.size() && std::isspace(static_cast<unsigned char>(reply[i])))
    ++i;
  bool negative = false;
  if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) negative = reply[i++] == '-';
  // Saturating, so that a long run of digits cannot overflow.
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < reply.size() && reply[i] >= '0' && reply[i] <= '9'; ++i) {
    value = value * 10 + (reply[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value >= kLimit ? kLimit - 1 : value);
}

std::string VersionText(int32_t code) {
  const uint32_t bits = static_cast<uint32_t>(code);
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u", bits >> 16, (bits >> 8) & 0xFF, bits & 0xFF);
  return text;
}

int CheckOnlineForUpdate(Graphics& editor, const UpdateServer& server, int32_t own_code) {
  std::string reply;
  // An error status (404, 503, ...) is a check that failed, whatever page came with it.
  const bool answered = platform::HttpGet(server.host, server.port, server.path, kProductName,
                                          server.timeout_ms, kMaxReply, &reply);
  if (!answered || reply.empty()) {
    editor.ShowMessageBox(ContactErrorText(server.web_host).c_str(), kUpdateCaption,
                          MessageBoxType::ErrorOk);
    return kUpdateNoReply;
  }
  if (reply.find('<') != std::string::npos) {
    const std::string text = "Invalid call to " + Domain(server.web_host) + ".";
    editor.ShowMessageBox(text.c_str(), kUpdateCaption, MessageBoxType::ErrorOk);
    return kUpdateWebPage;
  }
  const int32_t newest = ParseVersionCode(reply);
  if (newest <= own_code) {
    editor.ShowMessageBox("Your version is up to date.", kUpdateCaption,
                          MessageBoxType::InformationOk);
    return kUpdateUnderstood;
  }
  std::string text;
  std::string caption;
  try {
    text = std::string("A new version of ") + kProductName + " is available.\n\n" +
           "\tYour version: \t" + VersionText(own_code) + "\n" + "\tNew version: \t" +
           VersionText(newest) + "\n" + "\nDo you want to go to " + server.web_host +
           " to get the new version?";
    caption = std::string("New Version of ") + kProductName + " Detected";
  } catch (const std::bad_alloc&) {
    editor.ShowMessageBox(ContactErrorText(server.web_host).c_str(), kUpdateCaption,
                          MessageBoxType::ErrorOk);
    return kUpdateMessageFailed;
  }
  if (editor.ShowMessageBox(text.c_str(), caption.c_str(), MessageBoxType::YesNo) !=
      MessageBoxButton::No) {
    editor.OpenUrl(DownloadPageUrl(server.web_host).c_str(), nullptr, nullptr, nullptr);
  }
  return kUpdateUnderstood;
}

}  // namespace vantor
