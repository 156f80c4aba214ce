#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/tool/rcon_packet.h"
#include "sim/tool/unique_fd.h"

namespace sim::tool {

struct RconSettings {
  uint16_t port = 0;  // 0: any free port
  std::string password;
  // How long a connection may take to authenticate before it is dropped.
  std::chrono::milliseconds auth_timeout{10000};
  int max_connections = 8;
  // How many of them may be unauthenticated at once; a new connection beyond that displaces an
  // unauthenticated one.
  int unauthenticated_slots = 4;
  // After `ban_after` failed authentications from one address within `ban_window`, the
  // address's connections are closed for `ban_time`. 0 for either turns bans off.
  int ban_after = 5;
  std::chrono::seconds ban_time{60};
  std::chrono::seconds ban_window{60};
  // Over all addresses: every login waits, before its password is compared, `failure_delay`
  // for each failed login of the last `failure_window`, at most `max_failure_delay`. 0 for
  // `failure_delay` turns the wait off.
  std::chrono::milliseconds failure_delay{50};
  std::chrono::milliseconds max_failure_delay{750};
  std::chrono::seconds failure_window{60};
};

// A ban beginning (`seconds` > 0) or ending (`seconds` == 0) for an address.
struct RconBan {
  std::string address;
  int failures = 0;  // the failed authentications that led to it
  int seconds = 0;
};

// A Source RCON server on 127.0.0.1 that runs on the game thread: it does no waiting of its
// own. The caller's poll() watches the descriptors Watch() adds and hands the results to
// Handle(), which reads packets, answers authentication, runs each command through `run` right
// there (the game thread), and queues the answers for writing. A connection is closed on a bad
// password (after an AUTH_RESPONSE with id -1), a malformed packet, a command before
// authentication, or when it stays unauthenticated past its deadline.
//
// No client can lock others out: unauthenticated connections share `unauthenticated_slots`,
// and a new one beyond them displaces the oldest unauthenticated connection of the address
// that holds the most of them, one whose login is held only when all are; authenticated
// connections are never displaced. An address that
// keeps failing to authenticate is banned for a while (see RconSettings).
//
// Guesses spread over many addresses are slowed down together: once logins have failed, every
// login (right or wrong, so that the wait tells nothing) is held for a while that grows with
// the recent failures before its password is compared. Held logins wait as deadlines of the
// caller's poll, never by blocking: the game and every other connection go on meanwhile.
class RconServer {
 public:
  using Clock = std::chrono::steady_clock;
  // Runs a command on the game thread and returns all of its answers, joined.
  using Run = std::function<std::string(const std::string& text, int32_t id)>;
  using BanNotice = std::function<void(const RconBan&)>;

  RconServer(RconSettings settings, Run run, BanNotice on_ban);
  RconServer(const RconServer&) = delete;
  RconServer& operator=(const RconServer&) = delete;

  // Listens; false with `error` when the port cannot be had.
  bool Start(std::string& error);
  // The port listened on, once started.
  uint16_t port() const { return port_; }

  // Appends the descriptors to wait on, and returns the next time Handle must run even if none
  // is ready (an authentication deadline or the end of a ban); Clock::time_point::max() if none.
  Clock::time_point Watch(std::vector<pollfd>& fds) const;
  // Does what `ready` (the entries Watch appended, as poll filled them in) and the time allow.
  void Handle(const pollfd* ready, std::size_t count);

  // How many connections are open; for tests.
  std::size_t connections() const { return clients_.size(); }

 private:
  struct Client {
    UniqueFd fd;
    uint32_t address = 0;  // IPv4, host order
    uint64_t serial = 0;   // connections are numbered in the order they came
    bool authenticated = false;
    bool closing = false;  // closed once `out` is written
    bool dead = false;     // closed; removed at the end of Handle
    Clock::time_point auth_deadline;
    std::optional<rcon::Packet> held_login;  // a login waiting for `login_at`
    Clock::time_point login_at;
    std::string in;   // bytes read, not yet a whole packet
    std::string out;  // bytes to write
  };
  struct Address {
    std::deque<Clock::time_point> failures;  // within the ban window
    Clock::time_point banned_until{};        // in the past when not banned
    bool banned = false;
  };

  void Accept(Clock::time_point now);
  void Admit(UniqueFd fd, uint32_t address, Clock::time_point now);
  // Closes the oldest unauthenticated connection of the address holding the most of them.
  void Displace();
  // Each false when the client must be closed: Read takes what arrived, Process handles the
  // whole packets read, Flush writes what is queued.
  bool Read(Client& client);
  bool Process(Client& client);
  bool HandlePacket(Client& client, const std::string& payload);
  // Compares the password of a login and answers it.
  void Login(Client& client, const rcon::Packet& login, Clock::time_point now);
  // Hands held logins whose time has come to Login.
  void ReleaseLogins(Clock::time_point now);
  // How long a login arriving now waits, from the failures of the window over all addresses.
  Clock::duration LoginDelay(Clock::time_point now);
  bool Flush(Client& client);
  void Close(Client& client);
  void FailedAuth(const Client& client, Clock::time_point now);
  void Ban(uint32_t address, int failures, Clock::time_point now);
  void LiftBans(Clock::time_point now);

  RconSettings settings_;
  Run run_;
  BanNotice on_ban_;
  UniqueFd listen_fd_;
  uint16_t port_ = 0;
  uint64_t next_serial_ = 0;
  std::vector<Client> clients_;
  std::map<uint32_t, Address> addresses_;   // only those with recent failures or a ban
  std::deque<Clock::time_point> failures_;  // over all addresses, within the failure window
};

}  // namespace sim::tool
