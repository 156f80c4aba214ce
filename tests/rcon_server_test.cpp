// The RCON server's places and bans, driven in-process: who is displaced when unauthenticated
// connections crowd in, that admins keep their places, and what a ban closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/tool/rcon_packet.h"
#include "sim/tool/rcon_server.h"

namespace {

using sim::tool::RconBan;
using sim::tool::RconServer;
using sim::tool::UniqueFd;
namespace rcon = sim::tool::rcon;

class RconPlaces : public ::testing::Test {
 protected:
  void Start(sim::tool::RconSettings settings) {
    settings.password = "pw";
    server_ = std::make_unique<RconServer>(
        settings, [](const std::string& text, int32_t) { return "ran " + text; },
        [this](const RconBan& ban) { bans_.push_back(ban); });
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;
  }

  // Lets the server handle everything that has arrived: polls until a short wait brings
  // nothing new.
  void Pump() {
    for (;;) {
      std::vector<pollfd> fds;
      server_->Watch(fds);
      const int ready = poll(fds.data(), fds.size(), 20);
      server_->Handle(fds.data(), fds.size());
      if (ready <= 0) return;
    }
  }

  // A connection from `source` (an address in 127.0.0.0/8), handled by the server.
  UniqueFd Connect(const char* source, const std::string& send = "") {
    UniqueFd fd(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    to.sin_port = htons(server_->port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(fd.get(), reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    EXPECT_EQ(connect(fd.get(), reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    if (!send.empty()) {
      EXPECT_EQ(::send(fd.get(), send.data(), send.size(), 0), ssize_t(send.size()));
    }
    Pump();
    return fd;
  }
  UniqueFd Admin(const char* source) {
    return Connect(source, rcon::Encode({1, rcon::kAuth, "pw"}));
  }

  // Whether the server has closed the connection (what it sent before is skipped).
  static bool Closed(const UniqueFd& fd) {
    char bytes[4096];
    for (;;) {
      const ssize_t n = recv(fd.get(), bytes, sizeof bytes, MSG_DONTWAIT);
      if (n > 0) continue;
      return n == 0 || errno == ECONNRESET;
    }
  }

  std::unique_ptr<RconServer> server_;
  std::vector<RconBan> bans_;
};

TEST_F(RconPlaces, ACrowdFromOneAddressDisplacesOnlyItselfAndNeverAnAdmin) {
  Start({});
  std::vector<UniqueFd> crowd;
  for (int i = 0; i < 4; ++i) crowd.push_back(Connect("127.0.0.1"));
  const UniqueFd waiting = Connect("127.0.0.2");  // the fifth unauthenticated: the oldest goes
  EXPECT_TRUE(Closed(crowd[0]));
  for (int i = 0; i < 6; ++i) crowd.push_back(Connect("127.0.0.1"));
  EXPECT_FALSE(Closed(waiting));  // the crowd's address always holds more places
  for (std::size_t i = 1; i < crowd.size() - 3; ++i) EXPECT_TRUE(Closed(crowd[i])) << i;
  for (std::size_t i = crowd.size() - 3; i < crowd.size(); ++i) EXPECT_FALSE(Closed(crowd[i]));

  std::vector<UniqueFd> admins;
  for (int i = 0; i < 8; ++i) admins.push_back(Admin("127.0.0.3"));
  for (const UniqueFd& admin : admins) EXPECT_FALSE(Closed(admin));
  EXPECT_TRUE(Closed(waiting));  // all eight places are the admins' now
  EXPECT_TRUE(Closed(Connect("127.0.0.1")));
  EXPECT_EQ(server_->connections(), 8u);
}

TEST_F(RconPlaces, FailedLoginsBanTheirAddressWithEveryConnectionOfIt) {
  sim::tool::RconSettings settings;
  settings.ban_after = 2;
  Start(settings);
  const UniqueFd admin_here = Admin("127.0.0.1");
  const UniqueFd admin_elsewhere = Admin("127.0.0.2");
  const std::string wrong = rcon::Encode({5, rcon::kAuth, "guess"});
  const UniqueFd first = Connect("127.0.0.1", wrong);
  EXPECT_TRUE(bans_.empty());
  const UniqueFd second = Connect("127.0.0.1", wrong);
  ASSERT_EQ(bans_.size(), 1u);
  EXPECT_EQ(bans_[0].address, "127.0.0.1");
  EXPECT_EQ(bans_[0].failures, 2);
  EXPECT_EQ(bans_[0].seconds, 60);
  EXPECT_TRUE(Closed(admin_here));
  EXPECT_FALSE(Closed(admin_elsewhere));
  // The guess that brought the ban still got its refusal, id -1.
  char answer[14];
  ASSERT_EQ(recv(second.get(), answer, sizeof answer, MSG_WAITALL), 14);
  EXPECT_EQ(rcon::ReadInt32(answer + 4), -1);
  EXPECT_TRUE(Closed(Admin("127.0.0.1")));
  EXPECT_EQ(server_->connections(), 1u);
}

}  // namespace
