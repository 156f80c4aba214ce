#include "sim/tool/rcon_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/tool/rcon_packet.h"

namespace sim::tool {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollSliceMs = 100;  // how often waiting threads look whether to stop

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

RconServer::RconServer(RconSettings settings, GameQueue& queue)
    : settings_(std::move(settings)), queue_(queue) {}

RconServer::~RconServer() { Stop(); }

bool RconServer::Start(std::string& error) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int yes = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(settings_.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_, 16) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(settings_.port) + ": " +
            std::strerror(errno);
    close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  port_ = ntohs(address.sin_port);

  // The network threads leave SIGINT and SIGTERM to the game thread, which ends the server.
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  acceptor_ = std::thread([this] { AcceptLoop(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return true;
}

void RconServer::Stop() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (Connection& connection : connections_) connection.thread.join();
  connections_.clear();
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
}

void RconServer::ReapFinished() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (*it->done) {
      it->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void RconServer::AcceptLoop() {
  while (!stopping_) {
    ReapFinished();
    pollfd waiting{listen_fd_, POLLIN, 0};
    if (poll(&waiting, 1, kPollSliceMs) <= 0) continue;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    if (static_cast<int>(connections_.size()) >= settings_.max_connections) {
      close(fd);  // full: the client may try again later
      continue;
    }
    // A client that stops reading must not hold its thread forever.
    timeval send_timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout);
    auto done = std::make_shared<std::atomic<bool>>(false);
    connections_.push_back({std::thread([this, fd, done] {
                              Serve(fd);
                              close(fd);
                              *done = true;
                            }),
                            done});
  }
}

bool RconServer::ReadExact(int fd, char* data, std::size_t size, Clock::time_point deadline) {
  std::size_t got = 0;
  while (got < size) {
    if (stopping_ || Clock::now() >= deadline) return false;
    pollfd waiting{fd, POLLIN, 0};
    const int ready = poll(&waiting, 1, kPollSliceMs);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t n = recv(fd, data + got, size - got, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

void RconServer::Serve(int fd) {
  bool authenticated = false;
  const Clock::time_point auth_deadline = Clock::now() + settings_.auth_timeout;
  for (;;) {
    const Clock::time_point deadline = authenticated ? Clock::time_point::max() : auth_deadline;
    char header[4];
    if (!ReadExact(fd, header, sizeof header, deadline)) return;
    const int32_t size = rcon::ReadInt32(header);
    if (!rcon::ValidSize(size)) return;
    std::string payload(static_cast<std::size_t>(size), '\0');
    if (!ReadExact(fd, payload.data(), payload.size(), deadline)) return;
    const std::optional<rcon::Packet> packet = rcon::Decode(payload);
    if (!packet) return;

    if (packet->type == rcon::kAuth) {
      if (!rcon::SecretEquals(packet->body, settings_.password)) {
        SendAll(fd, rcon::Encode({-1, rcon::kAuthResponse, ""}));
        return;
      }
      authenticated = true;
      if (!SendAll(fd, rcon::Encode({packet->id, rcon::kAuthResponse, ""}))) return;
      continue;
    }
    if (!authenticated) return;
    if (packet->type == rcon::kExecCommand && !packet->body.empty()) {
      const std::optional<std::string> answer = queue_.Submit(packet->body, packet->id);
      if (!answer || !SendAll(fd, rcon::EncodeReply(packet->id, *answer))) return;
    } else if (packet->type == rcon::kExecCommand || packet->type == rcon::kResponseValue) {
      // An empty command, or an empty response sent back: clients use the echo to find the
      // end of a long answer.
      if (!SendAll(fd, rcon::Encode({packet->id, rcon::kResponseValue, ""}))) return;
    }
    // Other types are ignored, as the game does.
  }
}

}  // namespace sim::tool
