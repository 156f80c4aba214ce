#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <termios.h>

namespace sim::tool {

// What may replace the word being typed: given the complete words before it and the word so
// far, the candidates (unfiltered; the editor keeps those that start with the word).
using Completer = std::function<std::vector<std::string>(const std::vector<std::string>& words,
                                                         std::string_view partial)>;

struct Completion {
  std::string line;
  std::size_t cursor = 0;
  std::vector<std::string> choices;  // to show when the word cannot be completed further
};

// Completes the word that ends at `cursor` (words are separated by spaces): a single candidate
// replaces it, followed by a space unless it ends in '='; several extend it by what they share,
// or, when they share no more, are returned as choices. Nothing changes without candidates.
Completion Complete(const std::string& line, std::size_t cursor, const Completer& completer);

// Reads lines from a terminal with editing: typing inserts at the cursor; Backspace and Delete
// remove; Left/Right (Ctrl-B/F) move; Home/End (Ctrl-A/E) jump; Up/Down walk the history;
// Tab completes; Ctrl-U clears the line; Ctrl-D ends input on an empty line; Ctrl-C drops the
// line, or ends input as an interrupt when the line is empty. The terminal is in raw mode only
// while a line is being edited. Text is UTF-8; every code point is taken to fill one column.
// It never waits: the caller polls the input descriptor and calls OnReadable.
class LineEditor {
 public:
  enum class Status { kLine, kEnd, kInterrupted };

  LineEditor(int in_fd, int out_fd, std::string prompt, Completer completer = nullptr);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // Starts editing a new line: raw mode and the prompt. False when the input is no terminal.
  bool Begin();
  bool editing() const { return raw_; }
  // Reads the keys waiting on the input. When they finish the line (its text in `line`) or the
  // input, editing ends and the status says how.
  std::optional<Status> OnReadable(std::string& line);
  // Around other output while editing: the line being edited steps out of its way.
  void Hide();
  void Show();

 private:
  bool EnterRaw();
  void LeaveRaw();
  void Redraw();
  void Write(const std::string& text);
  // Handles the keys in `pending_`; leaves an incomplete escape sequence there.
  std::optional<Status> HandleKeys(std::string& line);
  // Consumes the escape sequence at the front of pending_; false when it is still incomplete.
  bool HandleEscape();
  void HandleTab();
  void ShowHistory(std::size_t index);
  std::size_t PreviousBoundary(std::size_t at) const;
  std::size_t NextBoundary(std::size_t at) const;

  int in_fd_;
  int out_fd_;
  std::string prompt_;
  Completer completer_;
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
