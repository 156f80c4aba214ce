// The RCON server's places and bans, driven in-process: who is displaced when unauthenticated
// connections crowd in, that admins keep their places, and what a ban closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
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
  // nothing new, waiting also for a held login that is due within a second.
  void Pump(bool wait_for_held = true) {
    for (;;) {
      std::vector<pollfd> fds;
      const auto due = server_->Watch(fds) - RconServer::Clock::now();
      const bool held = wait_for_held && due < std::chrono::seconds(1);
      const auto due_ms = std::chrono::duration_cast<std::chrono::milliseconds>(due).count();
      const int wait_ms = held ? static_cast<int>(std::max<int64_t>(due_ms, 0)) + 20 : 20;
      const int ready = poll(fds.data(), fds.size(), wait_ms);
      server_->Handle(fds.data(), fds.size());
      if (ready <= 0 && !held) return;
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

  // What the server has sent on the connection so far, unread.
  static std::string Received(const UniqueFd& fd) {
    std::string got;
    char bytes[4096];
    for (ssize_t n; (n = recv(fd.get(), bytes, sizeof bytes, MSG_DONTWAIT)) > 0;)
      got.append(bytes, n);
    return got;
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

// After a failed login every login is held, right or wrong, so the wait tells nothing; the held
// login's connection waits, while the server goes on serving everyone else at once.
TEST_F(RconPlaces, FailedLoginsHoldLaterLoginsAndNothingElse) {
  sim::tool::RconSettings settings;
  settings.failure_delay = std::chrono::milliseconds(300);
  Start(settings);
  const UniqueFd admin = Admin("127.0.0.2");  // no failure yet: let in at once
  EXPECT_EQ(Received(admin), rcon::Encode({1, rcon::kAuthResponse, ""}));
  const UniqueFd guess = Connect("127.0.0.3", rcon::Encode({5, rcon::kAuth, "guess"}));
  EXPECT_EQ(Received(guess), rcon::Encode({-1, rcon::kAuthResponse, ""}));

  const auto asked = RconServer::Clock::now();
  const std::string login = rcon::Encode({2, rcon::kAuth, "pw"});
  const std::string command = rcon::Encode({3, rcon::kExecCommand, "tw.counts"});
  UniqueFd held = Connect("127.0.0.4");
  ASSERT_EQ(send(held.get(), (login + command).data(), login.size() + command.size(), 0),
            ssize_t(login.size() + command.size()));
  ASSERT_EQ(send(admin.get(), command.data(), command.size(), 0), ssize_t(command.size()));
  Pump(/*wait_for_held=*/false);
  EXPECT_EQ(Received(held), "");  // not even the login's answer yet
  EXPECT_EQ(Received(admin), rcon::EncodeReply(3, "ran tw.counts"));

  Pump();
  EXPECT_GE(RconServer::Clock::now() - asked, std::chrono::milliseconds(300));
  // The login, then the command sent behind it, as without the wait.
  EXPECT_EQ(Received(held),
            rcon::Encode({2, rcon::kAuthResponse, ""}) + rcon::EncodeReply(3, "ran tw.counts"));
  EXPECT_FALSE(Closed(held));
}

}  // namespace
