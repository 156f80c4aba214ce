#include "sim/tool/line_editor.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sim::tool {
namespace {

constexpr char kEscape = '\x1b';
constexpr std::size_t kChoicesShown = 60;  // a longer list ends with how many more there are
constexpr std::size_t kScreenWidth = 100;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t CodePoints(const std::string& text, std::size_t from) {
  std::size_t count = 0;
  for (std::size_t i = from; i < text.size(); ++i) count += IsContinuation(text[i]) ? 0 : 1;
  return count;
}

}  // namespace

Completion Complete(const std::string& line, std::size_t cursor, const Completer& completer) {
  Completion result{line, cursor, {}};
  if (!completer || cursor > line.size()) return result;
  const std::size_t start = line.rfind(' ', cursor == 0 ? 0 : cursor - 1);
  const std::size_t word = start == std::string::npos || cursor == 0 ? 0 : start + 1;
  const std::string partial = line.substr(word, cursor - word);
  std::vector<std::string> words;
  for (std::size_t at = 0; at < word;) {
    const std::size_t end = std::min(line.find(' ', at), word);
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  std::vector<std::string> matches;
  for (std::string& candidate : completer(words, partial)) {
    if (candidate.starts_with(partial)) matches.push_back(std::move(candidate));
  }
  std::sort(matches.begin(), matches.end());
  matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
  if (matches.empty()) return result;
  std::string insert = matches.front();
  if (matches.size() == 1) {
    if (!insert.ends_with('=')) insert += ' ';
  } else {
    for (const std::string& match : matches) {
      std::size_t same = 0;
      while (same < insert.size() && same < match.size() && insert[same] == match[same]) ++same;
      insert.resize(same);
    }
    if (insert.size() == partial.size()) {
      result.choices = std::move(matches);
      return result;
    }
  }
  result.line = line.substr(0, word) + insert + line.substr(cursor);
  result.cursor = word + insert.size();
  return result;
}

LineEditor::LineEditor(int in_fd, int out_fd, std::string prompt, Completer completer)
    : in_fd_(in_fd),
      out_fd_(out_fd),
      prompt_(std::move(prompt)),
      completer_(std::move(completer)) {}

LineEditor::~LineEditor() { LeaveRaw(); }

bool LineEditor::EnterRaw() {
  if (tcgetattr(in_fd_, &saved_) != 0) return false;
  termios raw = saved_;
  raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  raw_ = tcsetattr(in_fd_, TCSADRAIN, &raw) == 0;
  return raw_;
}

void LineEditor::LeaveRaw() {
  if (raw_) tcsetattr(in_fd_, TCSADRAIN, &saved_);
  raw_ = false;
}

void LineEditor::Write(const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(out_fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void LineEditor::Redraw() {
  std::string text = "\r" + prompt_ + buffer_ + "\x1b[K";
  if (const std::size_t after = CodePoints(buffer_, cursor_); after > 0)
    text += "\x1b[" + std::to_string(after) + "D";
  Write(text);
}

std::size_t LineEditor::PreviousBoundary(std::size_t at) const {
  if (at == 0) return 0;
  do --at;
  while (at > 0 && IsContinuation(buffer_[at]));
  return at;
}

std::size_t LineEditor::NextBoundary(std::size_t at) const {
  if (at >= buffer_.size()) return buffer_.size();
  do ++at;
  while (at < buffer_.size() && IsContinuation(buffer_[at]));
  return at;
}

void LineEditor::ShowHistory(std::size_t index) {
  if (history_at_ == history_.size()) draft_ = buffer_;
  history_at_ = index;
  buffer_ = index == history_.size() ? draft_ : history_[index];
  cursor_ = buffer_.size();
}

bool LineEditor::HandleEscape() {
  // ESC [ params final, or ESC O final; anything else after ESC drops the ESC alone.
  if (pending_.size() < 2) return false;
  if (pending_[1] != '[' && pending_[1] != 'O') {
    pending_.erase(0, 1);
    return true;
  }
  std::size_t end = 2;
  while (end < pending_.size() &&
         ((pending_[end] >= '0' && pending_[end] <= '9') || pending_[end] == ';'))
    ++end;
  if (end >= pending_.size()) return false;
  const std::string params = pending_.substr(2, end - 2);
  const char final = pending_[end];
  pending_.erase(0, end + 1);
  if (final == 'A' && history_at_ > 0) {
    ShowHistory(history_at_ - 1);
  } else if (final == 'B' && history_at_ < history_.size()) {
    ShowHistory(history_at_ + 1);
  } else if (final == 'C') {
    cursor_ = NextBoundary(cursor_);
  } else if (final == 'D') {
    cursor_ = PreviousBoundary(cursor_);
  } else if (final == 'H' || (final == '~' && (params == "1" || params == "7"))) {
    cursor_ = 0;
  } else if (final == 'F' || (final == '~' && (params == "4" || params == "8"))) {
    cursor_ = buffer_.size();
  } else if (final == '~' && params == "3") {
    buffer_.erase(cursor_, NextBoundary(cursor_) - cursor_);
  }
  return true;
}

void LineEditor::HandleTab() {
  Completion done = Complete(buffer_, cursor_, completer_);
  buffer_ = std::move(done.line);
  cursor_ = done.cursor;
  if (done.choices.empty()) return;
  std::string list = "\r\n";
  std::size_t column = 0;
  for (std::size_t i = 0; i < done.choices.size() && i < kChoicesShown; ++i) {
    const std::string& choice = done.choices[i];
    if (column > 0 && column + 2 + choice.size() > kScreenWidth) {
      list += "\r\n";
      column = 0;
    }
    list += (column > 0 ? "  " : "") + choice;
    column += (column > 0 ? 2 : 0) + choice.size();
  }
  if (done.choices.size() > kChoicesShown)
    list += "\r\n(" + std::to_string(done.choices.size() - kChoicesShown) + " more)";
  Write(list + "\r\n");
}

std::optional<LineEditor::Status> LineEditor::HandleKeys(std::string& line) {
  while (!pending_.empty()) {
    const char key = pending_[0];
    if (key == kEscape) {
      if (!HandleEscape()) return std::nullopt;
      continue;
    }
    pending_.erase(0, 1);
    if (key == '\r' || key == '\n') {
      cursor_ = buffer_.size();
      Redraw();  // keys that came with the Enter have not been shown yet
      Write("\r\n");
      line = buffer_;
      if (!buffer_.empty() && (history_.empty() || history_.back() != buffer_))
        history_.push_back(buffer_);
      return Status::kLine;
    }
    if (key == 0x03 || key == 0x15) {  // Ctrl-C, Ctrl-U
      if (key == 0x03) Write("^C\r\n");
      if (key == 0x03 && buffer_.empty()) return Status::kInterrupted;
      buffer_.clear();
      cursor_ = 0;
    } else if (key == 0x04) {  // Ctrl-D
      if (buffer_.empty()) {
        Write("\r\n");
        return Status::kEnd;
      }
      buffer_.erase(cursor_, NextBoundary(cursor_) - cursor_);
    } else if (key == 0x7f || key == 0x08) {
      const std::size_t from = PreviousBoundary(cursor_);
      buffer_.erase(from, cursor_ - from);
      cursor_ = from;
    } else if (key == 0x01) {
      cursor_ = 0;
    } else if (key == 0x05) {
      cursor_ = buffer_.size();
    } else if (key == 0x02) {
      cursor_ = PreviousBoundary(cursor_);
    } else if (key == 0x06) {
      cursor_ = NextBoundary(cursor_);
    } else if (key == '\t') {
      HandleTab();
    } else if (static_cast<unsigned char>(key) >= 0x20) {
      buffer_.insert(cursor_, 1, key);
      ++cursor_;
    }
  }
  return std::nullopt;
}

bool LineEditor::Begin() {
  buffer_.clear();
  cursor_ = 0;
  history_at_ = history_.size();
  if (!raw_ && !EnterRaw()) return false;
  Redraw();
  return true;
}

std::optional<LineEditor::Status> LineEditor::OnReadable(std::string& line) {
  char bytes[256];
  const ssize_t n = read(in_fd_, bytes, sizeof bytes);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return std::nullopt;
  if (n > 0) pending_.append(bytes, static_cast<std::size_t>(n));
  const std::optional<Status> status = n > 0 ? HandleKeys(line) : Status::kEnd;
  if (status) {
    LeaveRaw();
  } else {
    Redraw();
  }
  return status;
}

void LineEditor::Hide() {
  if (raw_) Write("\r\x1b[K");
}

void LineEditor::Show() {
  if (raw_) Redraw();
}

}  // namespace sim::tool
