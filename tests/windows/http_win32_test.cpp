// HttpGet through WinINet under Wine, against a small HTTP server on 127.0.0.1 in this process.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace vantor {
namespace {

// Serves one connection: reads the request up to its blank line, then sends `pieces` with a
// pause before each and closes. With no pieces it stays silent until the client hangs up.
class OneShotServer {
 public:
  explicit OneShotServer(std::vector<std::string> pieces, int pause_ms = 0)
      : pieces_(std::move(pieces)), pause_ms_(pause_ms) {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~OneShotServer() {
    if (thread_.joinable()) thread_.join();
    closesocket(listener_);
  }
  int port() const { return port_; }
  // The request as it arrived (complete once the reply has been read).
  const std::string& request() const { return request_; }

 private:
  void Serve() {
    // A client that never comes must not hold the test for ever.
    fd_set waiting;
    FD_ZERO(&waiting);
    FD_SET(listener_, &waiting);
    timeval limit = {10, 0};
    if (select(0, &waiting, nullptr, nullptr, &limit) != 1) return;
    const SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    char buffer[512];
    while (request_.find("\r\n\r\n") == std::string::npos) {
      const int n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request_.append(buffer, static_cast<size_t>(n));
    }
    for (const std::string& piece : pieces_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms_));
      send(client, piece.data(), static_cast<int>(piece.size()), 0);
    }
    if (pieces_.empty()) {
      while (recv(client, buffer, sizeof buffer, 0) > 0) {
      }
    }
    shutdown(client, SD_SEND);
    closesocket(client);
  }

  std::vector<std::string> pieces_;
  int pause_ms_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::string request_;
  std::thread thread_;
};

// A port on which nothing listens.
int UnusedPort() {
  const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(probe);
  return ntohs(address.sin_port);
}

class HttpGetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  static void TearDownTestSuite() { WSACleanup(); }
};

constexpr const char* kPath = "music/version/?file=vantor";
constexpr size_t kPlenty = 1 << 20;

TEST_F(HttpGetTest, AReplyArrivesWithTheRequestAsAsked) {
  OneShotServer server(
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n"
       "Connection: close\r\n\r\n66306"});
  ASSERT_NE(server.port(), 0);
  std::string reply = "kept:";
  ASSERT_TRUE(
      platform::HttpGet("127.0.0.1", server.port(), kPath, "Vantor", 2000, kPlenty, &reply));
  EXPECT_EQ(reply, "kept:66306");  // appended, not replaced
  const std::string& request = server.request();
  EXPECT_EQ(request.rfind("GET /music/version/?file=vantor HTTP/1.", 0), 0u) << request;
  EXPECT_NE(request.find("User-Agent: Vantor\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("Accept: */*\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("Host: 127.0.0.1"), std::string::npos) << request;
}

TEST_F(HttpGetTest, AReplyInPiecesIsJoinedAndCutAtTheLimit) {
  // Longer than one 1024-byte read, without a length: the body ends when the server closes.
  std::string body;
  for (int i = 0; body.size() < 3000; ++i)
    body += std::to_string(i) + ",";
  const std::vector<std::string> pieces = {"HTTP/1.0 200 OK\r\n",
                                           "Content-Type: text/plain\r\n\r\n", body.substr(0, 700),
                                           body.substr(700, 1500), body.substr(2200)};
  {
    OneShotServer server(pieces, 60);
    std::string reply;
    ASSERT_TRUE(
        platform::HttpGet("127.0.0.1", server.port(), kPath, "Vantor", 2000, kPlenty, &reply));
    EXPECT_EQ(reply, body);
  }
  {
    OneShotServer server(pieces, 20);
    std::string reply;
    ASSERT_TRUE(platform::HttpGet("127.0.0.1", server.port(), kPath, "Vantor", 2000, 2500, &reply));
    EXPECT_EQ(reply, body.substr(0, 2500));
  }
  {
    // The connection drops before the announced length: what arrived is kept.
    OneShotServer server({"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", "663"}, 20);
    std::string reply;
    EXPECT_TRUE(
        platform::HttpGet("127.0.0.1", server.port(), kPath, "Vantor", 2000, kPlenty, &reply));
    EXPECT_EQ(reply, "663");
  }
}

TEST_F(HttpGetTest, AnswerWithoutASuccessStatusFailsAndItsBodyIsNotTaken) {
  for (const char* status : {"404 Not Found", "503 Service Unavailable",
                             "500 Internal Server Error", "301 Moved Permanently"}) {
    OneShotServer server({std::string("HTTP/1.1 ") + status +
                          "\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n"
                          "Connection: close\r\n\r\n66306"});
    std::string reply = "kept:";
    EXPECT_FALSE(
        platform::HttpGet("127.0.0.1", server.port(), kPath, "Vantor", 2000, kPlenty, &reply))
        << status;
    EXPECT_EQ(reply, "kept:") << status;
  }
  OneShotServer success({"HTTP/1.0 203 Non-Authoritative Information\r\n\r\n66306"});
  std::string reply;
  EXPECT_TRUE(
      platform::HttpGet("127.0.0.1", success.port(), kPath, "Vantor", 2000, kPlenty, &reply));
  EXPECT_EQ(reply, "66306");
}

TEST_F(HttpGetTest, NoServerOrASilentOneFailsWithinTheTimeout) {
  std::string reply;
  EXPECT_FALSE(
      platform::HttpGet("127.0.0.1", UnusedPort(), kPath, "Vantor", 1000, kPlenty, &reply));
  EXPECT_FALSE(platform::HttpGet("127.0.0.1", 0, kPath, "Vantor", 1000, kPlenty, &reply));
  EXPECT_FALSE(platform::HttpGet("127.0.0.1", 70000, kPath, "Vantor", 1000, kPlenty, &reply));
  EXPECT_TRUE(reply.empty());

  OneShotServer silent({});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(
      platform::HttpGet("127.0.0.1", silent.port(), kPath, "Vantor", 300, kPlenty, &reply));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::seconds(4)) << "the receive timeout was not applied";
  EXPECT_TRUE(reply.empty());
}

}  // namespace
}  // namespace vantor
