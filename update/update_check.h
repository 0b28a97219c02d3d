// The online check for a newer version of the instrument, on the user's request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantor {

class Graphics;

// Where the check asks for the newest version code; tests point it at a local server.
struct UpdateServer {
  std::string host;
  int port = 80;
  std::string path;
  int timeout_ms = 10000;
};

// The maker's web host: the version query, the download page and the texts all name it.
inline constexpr char kMakerWebHost[] = "www.brenwick.com";
inline constexpr char kMakerDomain[] = "brenwick.com";
inline constexpr char kUpdateCaption[] = "Check Online for Update";

// The maker's version query on port 80.
UpdateServer MakerUpdateServer();
// The page the user is sent to for a newer version.
std::string DownloadPageUrl();

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
