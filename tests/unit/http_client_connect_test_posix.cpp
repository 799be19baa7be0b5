#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/http_client.h"

namespace {

class StatusClient : public HttpClient {
 public:
  std::vector<std::string> statuses;

 protected:
  int OnStatusText(const std::string& text) override {
    statuses.push_back(text);
    return 1;
  }
};

// A loopback listener that never accepts, its backlog filled: further
// connection attempts get no answer, as from a host that drops packets.
class UnansweringListener {
 public:
  UnansweringListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener_, 0);
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    for (int i = 0; i < 4; ++i) {
      int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      ::fcntl(fd, F_SETFL, O_NONBLOCK);
      ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
      fillers_.push_back(fd);
    }
    ::usleep(100 * 1000);
  }
  ~UnansweringListener() {
    for (int fd : fillers_) ::close(fd);
    ::close(listener_);
  }
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

TEST(HttpClientConnect, UnansweredConnectEndsAtTheTimeOut) {
  UnansweringListener listener;
  StatusClient client;
  client.SetTimeouts(300, 300);
  HttpResponseInfo info;
  const std::string url = "http://127.0.0.1:" + std::to_string(listener.port()) + "/";
  EXPECT_EQ(client.Get(url.c_str(), info), kHttpConnectFailed);
  ASSERT_GE(client.statuses.size(), 2u);
  EXPECT_EQ(client.statuses[client.statuses.size() - 2],
            "127.0.0.1:" + std::to_string(listener.port()) + " に接続できません");
}

}  // namespace
