#pragma once

#include <optional>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>

#include "sim/tool/line_source.h"
#include "sim/tool/rcon_server.h"

namespace sim::tool {

// The game thread's one wait (after ninja's single ppoll): standard input or the terminal, the
// RCON listening socket and every RCON client are watched by one ppoll(). Script lines and RCON
// commands run between polls, on this thread, as the game's thread runs commands. SIGINT and
// SIGTERM are blocked except inside that wait, so they end the run there and never interrupt
// a line halfway.
class GameLoop {
 public:
  // `rcon` may be null; both must outlive the loop.
  GameLoop(LineSource& input, RconServer* rcon) : input_(input), rcon_(rcon) {}
  GameLoop(const GameLoop&) = delete;
  GameLoop& operator=(const GameLoop&) = delete;

  // Installs the handlers and blocks the signals; call once, before anything else runs.
  static void CatchStopSignals();
  // SIGINT or SIGTERM has come.
  static bool stopped();
  // The signal mask for a wait that a stop signal should end (for ppoll): the stop signals let
  // through.
  static const sigset_t* WaitMask();

  // The next script line, serving RCON while none is ready (and between lines of a script
  // read whole). Nothing at the end of the input or once stopped.
  std::optional<std::string> NextLine();
  // Serves RCON until stopped.
  void ServeUntilStopped();

 private:
  // One ppoll, waiting (when `wait`) until something is ready or the RCON server's next
  // deadline, then handing what is ready to the input and the RCON server.
  void Poll(bool wait, bool with_input);

  LineSource& input_;
  RconServer* rcon_;
  std::vector<pollfd> fds_;
  bool broken_ = false;  // waiting failed, or nothing is left to wait on
};

}  // namespace sim::tool
