#include "sim/tool/line_source.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "sim/tool/line_editor.h"

namespace sim::tool {
namespace {

constexpr int kPollSliceMs = 100;

// Takes the first line off `text`, without its line break.
std::string TakeLine(std::string& text, std::size_t end) {
  std::string line = text.substr(0, end);
  text.erase(0, end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

class Text final : public LineSource {
 public:
  explicit Text(std::string text) : text_(std::move(text)) {}
  std::optional<std::string> Next(const Idle& idle) override {
    if (idle.stop && idle.stop()) return std::nullopt;
    if (text_.empty()) return std::nullopt;
    return TakeLine(text_, std::min(text_.find('\n'), text_.size()));
  }

 private:
  std::string text_;
};

class Stream final : public LineSource {
 public:
  explicit Stream(int fd) : fd_(fd) {}
  std::optional<std::string> Next(const Idle& idle) override {
    for (;;) {
      if (idle.stop && idle.stop()) return std::nullopt;
      if (const auto end = buffer_.find('\n'); end != std::string::npos)
        return TakeLine(buffer_, end);
      if (ended_) {
        if (buffer_.empty()) return std::nullopt;
        return TakeLine(buffer_, buffer_.size());
      }
      if (idle.has_work && idle.has_work()) idle.serve();
      pollfd waiting{fd_, POLLIN, 0};
      const int ready = poll(&waiting, 1, kPollSliceMs);
      if (ready < 0 && errno != EINTR) ended_ = true;
      if (ready <= 0) continue;
      char bytes[4096];
      const ssize_t n = read(fd_, bytes, sizeof bytes);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ended_ = true;
      } else {
        buffer_.append(bytes, static_cast<std::size_t>(n));
      }
    }
  }

 private:
  int fd_;
  std::string buffer_;
  bool ended_ = false;
};

class Terminal final : public LineSource {
 public:
  Terminal(int in_fd, int out_fd, std::string prompt) : editor_(in_fd, out_fd, std::move(prompt)) {}
  std::optional<std::string> Next(const Idle& idle) override {
    std::string line;
    switch (editor_.ReadLine(line, idle)) {
      case LineEditor::Status::kLine:
        return line;
      case LineEditor::Status::kInterrupted:
        interrupted_ = true;
        return std::nullopt;
      case LineEditor::Status::kEnd:
        return std::nullopt;
    }
    return std::nullopt;
  }
  bool typed() const override { return true; }
  bool interrupted() const override { return interrupted_; }

 private:
  LineEditor editor_;
  bool interrupted_ = false;
};

}  // namespace

std::unique_ptr<LineSource> TextLines(std::string text) {
  return std::make_unique<Text>(std::move(text));
}

std::unique_ptr<LineSource> StreamLines(int fd) { return std::make_unique<Stream>(fd); }

std::unique_ptr<LineSource> TerminalLines(int in_fd, int out_fd, std::string prompt) {
  return std::make_unique<Terminal>(in_fd, out_fd, std::move(prompt));
}

}  // namespace sim::tool
