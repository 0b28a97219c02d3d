// A one-connection-at-a-time HTTP server on 127.0.0.1 for tests: it records each request and
// answers with scripted pieces, or holds the connection without answering.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantor::testing {

class LocalHttpServer {
 public:
  // `pieces` are sent one after another with a pause between them, then the connection closes.
  // With `answer` false the request is read and the connection held open until destruction.
  explicit LocalHttpServer(std::vector<std::string> pieces, bool answer = true)
      : pieces_(std::move(pieces)), answer_(answer) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // An HTTP/1.0 reply with `body` cut into the given pieces (the header is the first piece).
  static std::vector<std::string> Reply(std::vector<std::string> body_pieces,
                                        const char* status = "200 OK") {
    body_pieces.insert(body_pieces.begin(), std::string("HTTP/1.0 ") + status +
                                                "\r\nContent-Type: text/plain\r\n"
                                                "Connection: close\r\n\r\n");
    return body_pieces;
  }

  // A port on which nothing listens (bound, then released).
  static int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
  }

  int port() const { return port_; }
  std::vector<std::string> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  // Waits for `fd` to be readable while the server runs; false once it stops.
  bool WaitReadable(int fd) {
    while (!stop_) {
      pollfd entry{fd, POLLIN, 0};
      if (poll(&entry, 1, 20) > 0) return true;
    }
    return false;
  }

  void Serve() {
    while (WaitReadable(listener_)) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(client)) {
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<size_t>(got));
      }
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      if (answer_) {
        for (const std::string& piece : pieces_) {
          send(client, piece.data(), piece.size(), MSG_NOSIGNAL);
          std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
      } else {
        while (!stop_)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      close(client);
    }
  }

  std::vector<std::string> pieces_;
  bool answer_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace vantor::testing
