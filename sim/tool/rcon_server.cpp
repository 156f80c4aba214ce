#include "sim/tool/rcon_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

#include "sim/tool/rcon_packet.h"

namespace sim::tool {
namespace {

// A client with this much unwritten output is not read from until it takes some.
constexpr std::size_t kMaxPendingOutput = 64 * 1024;
// Bytes read from one client per wake-up, so that one cannot starve the others.
constexpr std::size_t kReadPerWake = 64 * 1024;
// Connections accepted per wake-up.
constexpr int kAcceptsPerWake = 32;
// Addresses whose failures are remembered; beyond it the stalest are forgotten.
constexpr std::size_t kMaxAddresses = 1024;
// Failures remembered over all addresses; more add nothing once the wait is at its most.
constexpr std::size_t kMaxFailures = 4096;

std::string AddressText(uint32_t address) {
  in_addr in{htonl(address)};
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &in, text, sizeof text);
  return text;
}

}  // namespace

RconServer::RconServer(RconSettings settings, Run run, BanNotice on_ban)
    : settings_(std::move(settings)), run_(std::move(run)), on_ban_(std::move(on_ban)) {
  settings_.max_connections = std::max(1, settings_.max_connections);
  settings_.unauthenticated_slots =
      std::clamp(settings_.unauthenticated_slots, 1, settings_.max_connections);
}

bool RconServer::Start(std::string& error) {
  listen_fd_.Reset(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listen_fd_.valid()) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int yes = 1;
  setsockopt(listen_fd_.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(settings_.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listen_fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_.get(), 64) != 0 ||
      getsockname(listen_fd_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(settings_.port) + ": " +
            std::strerror(errno);
    listen_fd_.Reset();
    return false;
  }
  port_ = ntohs(address.sin_port);
  return true;
}

RconServer::Clock::time_point RconServer::Watch(std::vector<pollfd>& fds) const {
  Clock::time_point next = Clock::time_point::max();
  fds.push_back({listen_fd_.get(), POLLIN, 0});
  for (const Client& client : clients_) {
    short events = 0;
    // A held login's connection is not read on: what it sends next waits for the answer.
    if (!client.closing && !client.held_login && client.out.size() < kMaxPendingOutput)
      events |= POLLIN;
    if (!client.out.empty()) events |= POLLOUT;
    fds.push_back({client.fd.get(), events, 0});
    if (client.held_login) {
      next = std::min(next, client.login_at);
    } else if (!client.authenticated) {
      next = std::min(next, client.auth_deadline);
    }
  }
  for (const auto& [address, record] : addresses_) {
    if (record.banned) next = std::min(next, record.banned_until);
  }
  return next;
}

void RconServer::Handle(const pollfd* ready, std::size_t count) {
  const Clock::time_point now = Clock::now();
  LiftBans(now);
  // Clients first, then new connections: a client already here is served before anyone can
  // displace it. Nothing is accepted until every entry has been handled, so no descriptor
  // number is reused meanwhile.
  for (std::size_t i = 1; i < count; ++i) {
    if (ready[i].revents == 0) continue;
    const auto it = std::find_if(clients_.begin(), clients_.end(), [&](const Client& c) {
      return !c.dead && c.fd.get() == ready[i].fd;
    });
    if (it == clients_.end()) continue;
    Client& client = *it;
    // A connection gone both ways while its login is held would wake every poll: it goes now.
    bool keep = (ready[i].revents & (POLLERR | POLLNVAL)) == 0 &&
                !(client.held_login && (ready[i].revents & POLLHUP));
    if (keep && (ready[i].revents & (POLLIN | POLLHUP))) keep = Read(client);
    if (keep && !client.dead) keep = Flush(client) && Process(client) && Flush(client);
    if (!keep) Close(client);
  }
  ReleaseLogins(now);
  if (count > 0 && (ready[0].revents & POLLIN)) Accept(now);
  for (Client& client : clients_) {
    if (!client.dead && !client.authenticated && !client.held_login && client.auth_deadline <= now)
      Close(client);
  }
  std::erase_if(clients_, [](const Client& client) { return client.dead; });
}

void RconServer::Accept(Clock::time_point now) {
  for (int i = 0; i < kAcceptsPerWake; ++i) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    UniqueFd fd(accept4(listen_fd_.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                        SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd.valid()) return;  // none waiting (or a connection gone already)
    Admit(std::move(fd), ntohl(peer.sin_addr.s_addr), now);
  }
}

void RconServer::Admit(UniqueFd fd, uint32_t address, Clock::time_point now) {
  if (const auto it = addresses_.find(address); it != addresses_.end() && it->second.banned)
    return;  // closed at once
  int authenticated = 0, waiting = 0;
  for (const Client& client : clients_) {
    if (client.dead) continue;
    ++(client.authenticated ? authenticated : waiting);
  }
  if (authenticated >= settings_.max_connections) return;  // full of admins
  const int room =
      std::min(settings_.unauthenticated_slots, settings_.max_connections - authenticated);
  if (waiting >= room) Displace();
  Client& client = clients_.emplace_back();
  client.fd = std::move(fd);
  client.address = address;
  client.serial = next_serial_++;
  client.auth_deadline = now + settings_.auth_timeout;
  // A client usually sends its login right after connecting: take it now, so that the
  // connection is authenticated before any later one could displace it.
  if (!Read(client) || !Flush(client)) Close(client);
}

void RconServer::Displace() {
  std::map<uint32_t, int> places;  // unauthenticated connections by address
  for (const Client& client : clients_) {
    if (!client.dead && !client.authenticated) ++places[client.address];
  }
  // A connection whose login waits for its answer goes only when every other has sent one too.
  const auto rank = [&](const Client& client) {
    return std::make_tuple(!client.held_login, places[client.address], ~client.serial);
  };
  Client* victim = nullptr;
  for (Client& client : clients_) {
    if (client.dead || client.authenticated) continue;
    if (victim == nullptr || rank(client) > rank(*victim)) victim = &client;
  }
  if (victim != nullptr) Close(*victim);
}

bool RconServer::Read(Client& client) {
  char bytes[16 * 1024];
  for (std::size_t taken = 0; taken < kReadPerWake && !client.closing && !client.held_login;) {
    const ssize_t n = recv(client.fd.get(), bytes, sizeof bytes, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n < 0) return false;
    if (n == 0) {  // the client is done sending: it still gets its answers
      client.closing = true;
      break;
    }
    client.in.append(bytes, static_cast<std::size_t>(n));
    taken += static_cast<std::size_t>(n);
    if (!Process(client)) return false;
  }
  return true;
}

bool RconServer::Process(Client& client) {
  while (!client.closing && !client.dead && !client.held_login &&
         client.out.size() < kMaxPendingOutput && client.in.size() >= 4) {
    const int32_t size = rcon::ReadInt32(client.in.data());
    if (!rcon::ValidSize(size)) return false;
    if (client.in.size() < 4 + static_cast<std::size_t>(size)) break;
    const std::string payload = client.in.substr(4, static_cast<std::size_t>(size));
    client.in.erase(0, 4 + static_cast<std::size_t>(size));
    if (!HandlePacket(client, payload)) return false;
  }
  return true;
}

bool RconServer::HandlePacket(Client& client, const std::string& payload) {
  const std::optional<rcon::Packet> packet = rcon::Decode(payload);
  if (!packet) return false;
  if (packet->type == rcon::kAuth) {
    const Clock::time_point now = Clock::now();
    if (const Clock::duration wait = LoginDelay(now); wait > Clock::duration::zero()) {
      client.held_login = std::move(*packet);
      client.login_at = now + wait;
      return true;
    }
    Login(client, *packet, now);
    return true;
  }
  if (!client.authenticated) return false;
  if (packet->type == rcon::kExecCommand && !packet->body.empty()) {
    client.out += rcon::EncodeReply(packet->id, run_(packet->body, packet->id));
  } else if (packet->type == rcon::kExecCommand || packet->type == rcon::kResponseValue) {
    // An empty command, or an empty response sent back: clients use the echo to find the end
    // of a long answer.
    client.out += rcon::Encode({packet->id, rcon::kResponseValue, ""});
  }
  // Other types are ignored, as the game does.
  return true;
}

void RconServer::Login(Client& client, const rcon::Packet& login, Clock::time_point now) {
  if (!rcon::SecretEquals(login.body, settings_.password)) {
    client.out += rcon::Encode({-1, rcon::kAuthResponse, ""});
    client.closing = true;
    client.in.clear();
    FailedAuth(client, now);
    return;
  }
  client.authenticated = true;
  client.out += rcon::Encode({login.id, rcon::kAuthResponse, ""});
}

void RconServer::ReleaseLogins(Clock::time_point now) {
  for (Client& client : clients_) {
    if (client.dead || !client.held_login || client.login_at > now) continue;
    const rcon::Packet login = std::move(*client.held_login);
    client.held_login.reset();
    Login(client, login, now);
    // What the client sent after its login is handled now, as it would have been at once.
    if (!client.dead && !(Process(client) && Flush(client))) Close(client);
  }
}

RconServer::Clock::duration RconServer::LoginDelay(Clock::time_point now) {
  while (!failures_.empty() && failures_.front() + settings_.failure_window <= now)
    failures_.pop_front();
  if (settings_.failure_delay.count() <= 0) return Clock::duration::zero();
  const auto wait = settings_.failure_delay * static_cast<int64_t>(failures_.size());
  return std::min<Clock::duration>(wait, settings_.max_failure_delay);
}

bool RconServer::Flush(Client& client) {
  while (!client.out.empty()) {
    const ssize_t n = send(client.fd.get(), client.out.data(), client.out.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) return false;
    client.out.erase(0, static_cast<std::size_t>(n));
  }
  return !client.closing;  // a refused client goes once its answer is out
}

void RconServer::Close(Client& client) {
  client.fd.Reset();
  client.dead = true;
}

void RconServer::FailedAuth(const Client& client, Clock::time_point now) {
  failures_.push_back(now);
  if (failures_.size() > kMaxFailures) failures_.pop_front();
  if (settings_.ban_after <= 0 || settings_.ban_time.count() <= 0) return;  // bans are off
  if (addresses_.size() >= kMaxAddresses && !addresses_.contains(client.address)) {
    // Forget the address whose last failure is oldest; banned ones stay.
    auto stalest = addresses_.end();
    for (auto it = addresses_.begin(); it != addresses_.end(); ++it) {
      if (it->second.banned) continue;
      if (stalest == addresses_.end() ||
          it->second.failures.back() < stalest->second.failures.back())
        stalest = it;
    }
    if (stalest == addresses_.end()) return;  // all banned: nothing more to remember
    addresses_.erase(stalest);
  }
  Address& record = addresses_[client.address];
  record.failures.push_back(now);
  while (record.failures.front() + settings_.ban_window <= now) record.failures.pop_front();
  if (static_cast<int>(record.failures.size()) >= settings_.ban_after)
    Ban(client.address, static_cast<int>(record.failures.size()), now);
}

void RconServer::Ban(uint32_t address, int failures, Clock::time_point now) {
  Address& record = addresses_[address];
  record.banned = true;
  record.banned_until = now + settings_.ban_time;
  record.failures.clear();
  // Every connection of the address goes at once, but the one refused last gets its answer.
  for (Client& client : clients_) {
    if (!client.dead && client.address == address && !client.closing) Close(client);
  }
  on_ban_({AddressText(address), failures, static_cast<int>(settings_.ban_time.count())});
}

void RconServer::LiftBans(Clock::time_point now) {
  for (auto it = addresses_.begin(); it != addresses_.end();) {
    Address& record = it->second;
    while (!record.failures.empty() && record.failures.front() + settings_.ban_window <= now)
      record.failures.pop_front();
    if (record.banned && record.banned_until <= now) {
      record.banned = false;
      on_ban_({AddressText(it->first), 0, 0});
    }
    it = record.banned || !record.failures.empty() ? std::next(it) : addresses_.erase(it);
  }
}

}  // namespace sim::tool
