// HttpGet against a local server: the body only, the size limit, failures.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/local_http_server.h"

namespace vantor::platform {
namespace {

using vantor::testing::LocalHttpServer;

TEST(HttpGet, AppendsTheBodyUpToTheLimit) {
  LocalHttpServer server(LocalHttpServer::Reply({"0123456789", "abcdef"}));
  std::string reply = "kept:";
  EXPECT_TRUE(HttpGet("127.0.0.1", server.port(), "a/b?c=d", "Agent", 2000, 12, &reply));
  EXPECT_EQ(reply, "kept:0123456789ab");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].rfind("GET /a/b?c=d HTTP/1.", 0), 0u);

  std::string whole;
  LocalHttpServer again(LocalHttpServer::Reply({"0123456789", "abcdef"}));
  EXPECT_TRUE(HttpGet("127.0.0.1", again.port(), "/x", "Agent", 2000, 1 << 20, &whole));
  EXPECT_EQ(whole, "0123456789abcdef");
}

TEST(HttpGet, AnswerWithoutASuccessStatusFailsAndItsBodyIsNotTaken) {
  for (const char* status :
       {"404 Not Found", "503 Service Unavailable", "500 Internal Server Error", "403 Forbidden",
        "301 Moved Permanently", "100 Continue"}) {
    LocalHttpServer server(LocalHttpServer::Reply({"66306 is not the reply\n"}, status));
    std::string reply = "kept:";
    EXPECT_FALSE(HttpGet("127.0.0.1", server.port(), "/v", "Agent", 2000, 100, &reply)) << status;
    EXPECT_EQ(reply, "kept:") << status;
  }
  // Any success status delivers its body.
  LocalHttpServer partial(LocalHttpServer::Reply({"66306"}, "203 Non-Authoritative Information"));
  std::string reply;
  EXPECT_TRUE(HttpGet("127.0.0.1", partial.port(), "/v", "Agent", 2000, 100, &reply));
  EXPECT_EQ(reply, "66306");
}

TEST(HttpGet, FailsWithoutAConnectionOrAnAnswer) {
  std::string reply;
  EXPECT_FALSE(HttpGet("127.0.0.1", LocalHttpServer::ClosedPort(), "/", "Agent", 300, 100, &reply));
  LocalHttpServer silent({}, /*answer=*/false);
  EXPECT_FALSE(HttpGet("127.0.0.1", silent.port(), "/", "Agent", 300, 100, &reply));
  EXPECT_FALSE(HttpGet("127.0.0.1", 0, "/", "Agent", 300, 100, &reply));
  EXPECT_FALSE(HttpGet("", 80, "/", "Agent", 300, 100, &reply));
  EXPECT_TRUE(reply.empty());
}

}  // namespace
}  // namespace vantor::platform
