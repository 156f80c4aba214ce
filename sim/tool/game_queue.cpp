#include "sim/tool/game_queue.h"

#include <exception>

namespace sim::tool {

std::optional<std::string> GameQueue::Submit(std::string text, int32_t id) {
  std::future<std::optional<std::string>> answer;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return std::nullopt;
    auto request = std::make_unique<Request>();
    request->text = std::move(text);
    request->id = id;
    answer = request->answer.get_future();
    requests_.push_back(std::move(request));
  }
  queued_.notify_all();
  return answer.get();
}

void GameQueue::Serve(const Run& run) {
  for (;;) {
    std::unique_ptr<Request> request;
    {
      std::lock_guard lock(mutex_);
      if (requests_.empty()) return;
      request = std::move(requests_.front());
      requests_.pop_front();
    }
    std::optional<std::string> answer;
    try {
      answer = run(request->text, request->id);
    } catch (const std::exception&) {
      answer.reset();  // the connection is closed rather than left waiting
    }
    request->answer.set_value(std::move(answer));
  }
}

bool GameQueue::HasWork() const {
  std::lock_guard lock(mutex_);
  return !requests_.empty();
}

void GameQueue::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  queued_.wait_for(lock, timeout, [this] { return !requests_.empty() || closed_; });
}

void GameQueue::Close() {
  std::deque<std::unique_ptr<Request>> released;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    released.swap(requests_);
  }
  for (auto& request : released) request->answer.set_value(std::nullopt);
  queued_.notify_all();
}

}  // namespace sim::tool
