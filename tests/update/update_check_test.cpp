// The version check against a local HTTP server: every reply kind, the messages and the link.
#include <gtest/gtest.h>

#include <chrono>

#include "editor/graphics_headless.h"
#include "shell/synth.h"
#include "support/local_http_server.h"
#include "support/test_home.h"
#include "support/test_plugin.h"
#include "update/update_check.h"

namespace vantor {
namespace {

using testing::LocalHttpServer;

constexpr int32_t kOwnCode = 0x10301;
constexpr int kTimeoutMs = 300;

UpdateServer Local(int port) {
  return UpdateServer{"127.0.0.1", port, "/music/version/?file=vantor", kTimeoutMs,
                      Synth::kMakerWebHost};
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  int Check(const std::vector<std::string>& pieces) {
    LocalHttpServer server(pieces);
    const int result = CheckOnlineForUpdate(ui_, Local(server.port()), kOwnCode);
    requests_ = server.requests();
    return result;
  }
  void ExpectOnlyMessage(const char* text, MessageBoxType type) {
    ASSERT_EQ(ui_.messages().size(), 1u);
    EXPECT_EQ(ui_.messages()[0].text, text);
    EXPECT_EQ(ui_.messages()[0].caption, "Check Online for Update");
    EXPECT_EQ(ui_.messages()[0].type, type);
    EXPECT_TRUE(ui_.opened_urls().empty());
  }

  GraphicsHeadless ui_{nullptr};
  std::vector<std::string> requests_;
};

TEST_F(UpdateCheckTest, SameOrOlderVersionIsUpToDateAndAsksPlainly) {
  for (const char* reply : {"66305", "  66305\r\n", "1302", "release soon", "-70000"}) {
    ui_.ClearRecords();
    EXPECT_EQ(Check(LocalHttpServer::Reply({reply})), kUpdateUnderstood) << reply;
    ExpectOnlyMessage("Your version is up to date.", MessageBoxType::InformationOk);
  }
  ASSERT_EQ(requests_.size(), 1u);
  const std::string& request = requests_[0];
  EXPECT_EQ(request.rfind("GET /music/version/?file=vantor HTTP/1.", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nUser-Agent: Vantor\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nAccept: */*\r\n"), std::string::npos) << request;
}

TEST_F(UpdateCheckTest, NewerVersionAsksAndOpensTheDownloadPageUnlessDeclined) {
  ui_.AnswerNextMessage(MessageBoxButton::Yes);
  EXPECT_EQ(Check(LocalHttpServer::Reply({"66306\n"})), kUpdateUnderstood);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].text,
            "A new version of Vantor is available.\n\n\tYour version: \t1.3.1\n"
            "\tNew version: \t1.3.2\n\nDo you want to go to www.brenwick.example to get the new "
            "version?");
  EXPECT_EQ(ui_.messages()[0].caption, "New Version of Vantor Detected");
  EXPECT_EQ(ui_.messages()[0].type, MessageBoxType::YesNo);
  EXPECT_EQ(ui_.opened_urls(),
            std::vector<std::string>{"http://www.brenwick.example/music/vst.html"});

  ui_.ClearRecords();
  ui_.AnswerNextMessage(MessageBoxButton::No);
  EXPECT_EQ(Check(LocalHttpServer::Reply({"131072"})), kUpdateUnderstood);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_NE(ui_.messages()[0].text.find("\tNew version: \t2.0.0\n"), std::string::npos);
  EXPECT_TRUE(ui_.opened_urls().empty());
}

TEST_F(UpdateCheckTest, ReplyInSeveralPiecesIsJoinedBeforeItIsRead) {
  EXPECT_EQ(Check(LocalHttpServer::Reply({" 66", "3", "06", "\n"})), kUpdateUnderstood);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].type, MessageBoxType::YesNo);
  EXPECT_NE(ui_.messages()[0].text.find("\tNew version: \t1.3.2\n"), std::string::npos);
}

TEST_F(UpdateCheckTest, WebPageIsAnInvalidCallAndNothingElse) {
  EXPECT_EQ(Check(LocalHttpServer::Reply({"66306 <html><body>Moved</body></html>"})),
            kUpdateWebPage);
  ExpectOnlyMessage("Invalid call to brenwick.example.", MessageBoxType::ErrorOk);
}

TEST_F(UpdateCheckTest, ErrorStatusIsAFailedCheckWhateverItsBodySays) {
  const struct {
    const char* status;
    const char* body;
  } answers[] = {
      {"404 Not Found", "Not Found"},
      {"503 Service Unavailable", "Service Unavailable\n"},
      {"503 Service Unavailable", "66306"},  // a number in an error body is no version
      {"500 Internal Server Error", "<!DOCTYPE html><title>Error</title>"},
  };
  for (const auto& answer : answers) {
    ui_.ClearRecords();
    EXPECT_EQ(Check(LocalHttpServer::Reply({answer.body}, answer.status)), kUpdateNoReply)
        << answer.status << " " << answer.body;
    ExpectOnlyMessage("An error occurred while contacting brenwick.example.",
                      MessageBoxType::ErrorOk);
  }
}

TEST_F(UpdateCheckTest, EmptyReplyAndMissingServerReportTheContactError) {
  EXPECT_EQ(Check(LocalHttpServer::Reply({})), kUpdateNoReply);
  ExpectOnlyMessage("An error occurred while contacting brenwick.example.",
                    MessageBoxType::ErrorOk);

  ui_.ClearRecords();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckOnlineForUpdate(ui_, Local(LocalHttpServer::ClosedPort()), kOwnCode),
            kUpdateNoReply);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ExpectOnlyMessage("An error occurred while contacting brenwick.example.",
                    MessageBoxType::ErrorOk);
}

TEST_F(UpdateCheckTest, ServerThatNeverAnswersIsGivenUpAfterTheTimeout) {
  LocalHttpServer server({}, /*answer=*/false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckOnlineForUpdate(ui_, Local(server.port()), kOwnCode), kUpdateNoReply);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kTimeoutMs - 50));
  EXPECT_LT(waited, std::chrono::seconds(2));
  ExpectOnlyMessage("An error occurred while contacting brenwick.example.",
                    MessageBoxType::ErrorOk);
}

TEST(VersionCode, ReadsTheLeadingNumberAndSaturates) {
  EXPECT_EQ(ParseVersionCode("66306"), 66306);
  EXPECT_EQ(ParseVersionCode(" \t\n+66306xyz"), 66306);
  EXPECT_EQ(ParseVersionCode("-12"), -12);
  EXPECT_EQ(ParseVersionCode("v66306"), 0);
  EXPECT_EQ(ParseVersionCode(""), 0);
  EXPECT_EQ(ParseVersionCode("- 5"), 0);
  EXPECT_EQ(ParseVersionCode("99999999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseVersionCode("-99999999999999999999999"), INT32_MIN);
  EXPECT_EQ(ParseVersionCode(std::string("663\0"
                                         "06",
                                         6)),
            663);
  EXPECT_EQ(VersionText(0x10301), "1.3.1");
  EXPECT_EQ(VersionText(0x1030A), "1.3.10");
  EXPECT_EQ(VersionText(INT32_MAX), "32767.255.255");
}

TEST(VersionCheckMenu, CommandTwentyTwoRunsTheCheckOnTheEditor) {
  testing::FreshConfigHome();
  testing::TestVantor plugin;
  LocalHttpServer server(LocalHttpServer::Reply({"66305"}));
  plugin.set_update_server(Local(server.port()));
  plugin.ExecuteMenuCommand(kMenuCheckForUpdate);
  EXPECT_EQ(plugin.last_update_result(), kUpdateUnderstood);
  ASSERT_EQ(plugin.ui->messages().size(), 1u);
  EXPECT_EQ(plugin.ui->messages()[0].text, "Your version is up to date.");
  EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace vantor
