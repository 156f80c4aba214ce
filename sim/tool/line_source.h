#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sim/tool/idle.h"

namespace sim::tool {

// Where script lines come from. Next waits for the next line, letting `idle` serve other work
// meanwhile; nothing at the end of the input, or when `idle` asks to stop.
class LineSource {
 public:
  virtual ~LineSource() = default;
  virtual std::optional<std::string> Next(const Idle& idle) = 0;
  // Lines a person types are not echoed back.
  virtual bool typed() const { return false; }
  // The input ended with Ctrl-C rather than Ctrl-D.
  virtual bool interrupted() const { return false; }
};

// The lines of a text read whole, such as a script file.
std::unique_ptr<LineSource> TextLines(std::string text);
// Lines from a pipe or file descriptor, taken as they arrive, up to its end.
std::unique_ptr<LineSource> StreamLines(int fd);
// Lines typed on a terminal, with a prompt and line editing; `out_fd` shows the editing.
std::unique_ptr<LineSource> TerminalLines(int in_fd, int out_fd, std::string prompt);

}  // namespace sim::tool
