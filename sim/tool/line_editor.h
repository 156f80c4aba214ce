#pragma once

#include <optional>
#include <string>
#include <vector>

#include <termios.h>

#include "sim/tool/idle.h"

namespace sim::tool {

// Reads lines from a terminal with editing: typing inserts at the cursor; Backspace and Delete
// remove; Left/Right (Ctrl-B/F) move; Home/End (Ctrl-A/E) jump; Up/Down walk the history;
// Ctrl-U clears the line; Ctrl-D ends input on an empty line; Ctrl-C drops the line, or ends
// input as an interrupt when the line is empty. The terminal is in raw mode only while a line
// is being read. Text is UTF-8; every code point is taken to fill one column.
class LineEditor {
 public:
  enum class Status { kLine, kEnd, kInterrupted };

  LineEditor(int in_fd, int out_fd, std::string prompt);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // Reads one line into `line`. While waiting for keys it lets `idle` serve other work, moving
  // the line being edited out of the way of what that prints.
  Status ReadLine(std::string& line, const Idle& idle);

 private:
  bool EnterRaw();
  void LeaveRaw();
  void Redraw();
  void Write(const std::string& text);
  // Handles the keys in `pending_`; leaves an incomplete escape sequence there.
  std::optional<Status> HandleKeys(std::string& line);
  // Consumes the escape sequence at the front of pending_; false when it is still incomplete.
  bool HandleEscape();
  void ShowHistory(std::size_t index);
  std::size_t PreviousBoundary(std::size_t at) const;
  std::size_t NextBoundary(std::size_t at) const;

  int in_fd_;
  int out_fd_;
  std::string prompt_;
  termios saved_{};
  bool raw_ = false;
  std::string buffer_;      // the line being edited
  std::size_t cursor_ = 0;  // byte offset, at a code point boundary
  std::string pending_;     // bytes read but not yet handled
  std::vector<std::string> history_;
  std::size_t history_at_ = 0;  // == history_.size() while editing a new line
  std::string draft_;           // the new line, kept while walking the history
};

}  // namespace sim::tool
