#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sim/tool/line_editor.h"

namespace sim::tool {

// Where script lines come from. It never waits: the game loop takes lines while they are
// ready, and otherwise waits on fd() and calls OnReadable when it can be read.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next whole line, when one is ready.
  virtual std::optional<std::string> TakeLine() = 0;
  // No more lines will come.
  virtual bool ended() const = 0;
  // What to wait on for more; -1 for a source that never waits.
  virtual int fd() const { return -1; }
  // The loop is about to wait for a line (a terminal shows its prompt).
  virtual void Waiting() {}
  virtual void OnReadable() {}
  // Around output printed while the loop waits (a terminal's line steps out of its way).
  virtual void BeforeOutput() {}
  virtual void AfterOutput() {}
  // Lines a person types are not echoed back.
  virtual bool typed() const { return false; }
  // The input ended with Ctrl-C rather than Ctrl-D.
  virtual bool interrupted() const { return false; }
};

// The lines of a text read whole, such as a script file.
std::unique_ptr<LineSource> TextLines(std::string text);
// Lines from a pipe or file descriptor, taken as they arrive, up to its end.
std::unique_ptr<LineSource> StreamLines(int fd);
// Lines typed on a terminal, with a prompt, line editing and Tab completion; `out_fd` shows
// the editing, and `banner` (a whole line) before the first prompt.
std::unique_ptr<LineSource> TerminalLines(int in_fd, int out_fd, std::string prompt,
                                          Completer completer, std::string banner = "");

// The line a person at the prompt sees first: the tool's build, the config it runs (`config`
// describes it) and how to get help.
std::string PromptBanner(std::string_view config);

// A whole file, as bytes; throws std::runtime_error naming it when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
// Whether a line about to run is shown: not when it is blank or only a comment.
bool WorthEchoing(const std::string& line);

}  // namespace sim::tool
