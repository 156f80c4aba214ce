#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace sim::tool {

// Hands commands that arrive on network threads to the game thread, which alone may touch the
// game, and hands the answers back. Safe to use from any thread; Serve and Wait belong to the
// game thread.
class GameQueue {
 public:
  using Run = std::function<std::string(const std::string& text, int32_t id)>;

  GameQueue() = default;
  GameQueue(const GameQueue&) = delete;
  GameQueue& operator=(const GameQueue&) = delete;
  ~GameQueue() { Close(); }

  // Network thread: queues a command and waits for the game's answer. Nothing when the queue
  // was closed before the game answered.
  std::optional<std::string> Submit(std::string text, int32_t id);

  // Game thread: runs every queued command with `run`, in arrival order.
  void Serve(const Run& run);
  bool HasWork() const;
  // Game thread: waits until a command is queued or `timeout` passes.
  void Wait(std::chrono::milliseconds timeout);

  // Refuses new commands and releases everyone waiting for an answer.
  void Close();

 private:
  struct Request {
    std::string text;
    int32_t id;
    std::promise<std::optional<std::string>> answer;
  };

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::unique_ptr<Request>> requests_;
  bool closed_ = false;
};

}  // namespace sim::tool
