#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/tool/game_queue.h"

namespace sim::tool {

struct RconSettings {
  uint16_t port = 0;  // 0: any free port
  std::string password;
  // How long a connection may take to authenticate before it is dropped.
  std::chrono::milliseconds auth_timeout{10000};
  int max_connections = 8;  // further connections are closed at once
};

// A Source RCON server on 127.0.0.1. Each connection runs on its own thread, which reads
// packets, answers authentication itself, and hands every command to the game thread through
// the queue, waiting for the answer. A connection is closed on a bad password (after an
// AUTH_RESPONSE with id -1), on a malformed packet, or when it stays unauthenticated too long.
class RconServer {
 public:
  RconServer(RconSettings settings, GameQueue& queue);
  ~RconServer();  // stops first
  RconServer(const RconServer&) = delete;
  RconServer& operator=(const RconServer&) = delete;

  // Listens and starts accepting; false with `error` when the port cannot be had.
  bool Start(std::string& error);
  // The port listened on, once started.
  uint16_t port() const { return port_; }
  // Closes every connection and stops accepting. Commands still waiting are released by the
  // caller closing the queue first.
  void Stop();

 private:
  struct Connection {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  void AcceptLoop();
  void Serve(int fd);
  // Reads exactly `size` bytes; false on a closed connection, an error, the deadline or a stop.
  bool ReadExact(int fd, char* data, std::size_t size,
                 std::chrono::steady_clock::time_point deadline);
  void ReapFinished();

  RconSettings settings_;
  GameQueue& queue_;
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::list<Connection> connections_;  // the acceptor's alone until Stop joins it
};

}  // namespace sim::tool
