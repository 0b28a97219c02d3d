// The online check for a newer version of the instrument, on the user's request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantor {

class Graphics;

// Where the check asks for the newest version code (tests point it at a local server), and the
// maker's web host that the messages and the download page name.
struct UpdateServer {
  std::string host;
  int port = 80;
  std::string path;
  int timeout_ms = 10000;
  std::string web_host;
};

inline constexpr char kUpdateCaption[] = "Check Online for Update";

// The version query on the maker's web host, port 80.
UpdateServer MakerUpdateServer(const std::string& web_host);
// The page the user is sent to for a newer version.
std::string DownloadPageUrl(const std::string& web_host);

enum UpdateCheckResult : int {
  kUpdateUnderstood = 0,  // up to date, or a newer version reported
  kUpdateNoReply = -1,
  kUpdateMessageFailed = -2,
  kUpdateWebPage = -3,
};

// The version code at the start of a reply, read as atoi reads (leading blanks, a sign, the
// digits up to the first other character; 0 without digits), held within int32.
int32_t ParseVersionCode(const std::string& reply);
// "major.minor.revision" of a version code 0xMMmmrr (66306 -> "1.3.2").
std::string VersionText(int32_t code);

// Asks `server` for the newest version code, compares it with `own_code` and tells the user
// through the editor's message boxes; opens the download page when a newer version exists
// and the user does not decline. Runs synchronously; returns an UpdateCheckResult.
int CheckOnlineForUpdate(Graphics& editor, const UpdateServer& server, int32_t own_code);

}  // namespace vantor
