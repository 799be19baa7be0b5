#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/unit/test_servers.h"

namespace test_servers {

namespace {

namespace fs = std::filesystem;

bool Accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  ::close(fd);
  return ok;
}

// One child process that writes its port to a file; stopped at exit.
class Child {
 public:
  Child(const std::string& name, std::vector<std::string> argv) {
    dir_ = (fs::temp_directory_path() / ("quorvo_" + name + "_" + std::to_string(::getpid()))).string();
    fs::create_directories(dir_);
    const std::string portFile = dir_ + "/port";
    for (auto& a : argv)
      if (a.compare(0, 4, "@DIR") == 0) a = dir_ + a.substr(4);
      else if (a == "@PORTFILE") a = portFile;
    pid_ = ::fork();
    if (pid_ == 0) {
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
      std::ifstream in(portFile);
      int port = 0;
      if (in >> port && port > 0 && Accepts(port)) {
        port_ = port;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 60 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  int port() const { return port_; }
  const std::string& dir() const { return dir_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string dir_;
};

std::string ServerDir() { return std::string(QUORVO_SOURCE_DIR) + "/tests/cddb_server"; }

// Its own folder doubles as the folder of AccurateRip files.
const Child& CddbServer() {
  static Child server("cddb", {"python3", ServerDir() + "/cddb_fixture_server.py", "--records",
                               ServerDir() + "/records", "--port-file", "@PORTFILE", "--accuraterip-dir",
                               "@DIR", "--blackhole-port-file", "@DIR/blackhole.port"});
  return server;
}

}  // namespace

int CddbPort() { return CddbServer().port(); }
std::string AccurateRipDir() { return CddbPort() != 0 ? CddbServer().dir() : ""; }
int BlackholePort() {
  std::ifstream in(AccurateRipDir() + "/blackhole.port");
  int port = 0;
  return in >> port ? port : 0;
}

int ProxyPort() {
  static Child proxy("tinyproxy", {"bash", ServerDir() + "/run_tinyproxy.sh", "@DIR", "@PORTFILE"});
  return proxy.port();
}

std::string CddbUrl(const std::string& path) { return "http://127.0.0.1:" + std::to_string(CddbPort()) + path; }

}  // namespace test_servers
