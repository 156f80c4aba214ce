#include "sim/tool/game_loop.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>

namespace sim::tool {
namespace {

volatile std::sig_atomic_t stop_signal = 0;
sigset_t wait_mask;  // the mask inside ppoll: the stop signals let through

extern "C" void OnStopSignal(int) { stop_signal = 1; }

}  // namespace

void GameLoop::CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop, &wait_mask);
  sigdelset(&wait_mask, SIGINT);
  sigdelset(&wait_mask, SIGTERM);
}

bool GameLoop::stopped() { return stop_signal != 0; }

const sigset_t* GameLoop::WaitMask() { return &wait_mask; }

std::optional<std::string> GameLoop::NextLine() {
  for (;;) {
    Poll(false, false);  // what came in over the network runs between lines
    if (stopped() || broken_) return std::nullopt;
    if (std::optional<std::string> line = input_.TakeLine()) return line;
    if (input_.ended()) return std::nullopt;
    input_.Waiting();
    Poll(true, true);
  }
}

void GameLoop::ServeUntilStopped() {
  while (!stopped() && !broken_) Poll(true, false);
}

void GameLoop::Poll(bool wait, bool with_input) {
  using Clock = RconServer::Clock;
  fds_.clear();
  const int input_fd = with_input ? input_.fd() : -1;
  if (input_fd >= 0) fds_.push_back({input_fd, POLLIN, 0});
  const std::size_t rcon_at = fds_.size();
  const Clock::time_point deadline = rcon_ ? rcon_->Watch(fds_) : Clock::time_point::max();
  if (wait && fds_.empty()) {  // nothing could ever wake us
    broken_ = true;
    return;
  }

  timespec timeout{0, 0};
  timespec* limit = &timeout;
  if (wait && deadline == Clock::time_point::max()) {
    limit = nullptr;
  } else if (wait) {
    const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timeout = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
  }
  if (ppoll(fds_.data(), fds_.size(), limit, &wait_mask) < 0) {
    if (errno != EINTR) {
      broken_ = true;  // cannot wait: end rather than spin
      return;
    }
    for (pollfd& fd : fds_) fd.revents = 0;  // a signal: only the deadlines are looked at
  }
  if (input_fd >= 0 && fds_[0].revents != 0) input_.OnReadable();
  if (rcon_) rcon_->Handle(fds_.data() + rcon_at, fds_.size() - rcon_at);
}

}  // namespace sim::tool
