#include "sim/tool/line_source.h"

#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace sim::tool {
namespace {

// Takes the first line off `text`, without its line break.
std::string TakeFirstLine(std::string& text, std::size_t end) {
  std::string line = text.substr(0, end);
  text.erase(0, end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

class Text final : public LineSource {
 public:
  explicit Text(std::string text) : text_(std::move(text)) {}
  std::optional<std::string> TakeLine() override {
    if (text_.empty()) return std::nullopt;
    return TakeFirstLine(text_, std::min(text_.find('\n'), text_.size()));
  }
  bool ended() const override { return text_.empty(); }

 private:
  std::string text_;
};

class Stream final : public LineSource {
 public:
  explicit Stream(int fd) : fd_(fd) {}
  std::optional<std::string> TakeLine() override {
    if (const auto end = buffer_.find('\n'); end != std::string::npos)
      return TakeFirstLine(buffer_, end);
    if (closed_ && !buffer_.empty()) return TakeFirstLine(buffer_, buffer_.size());
    return std::nullopt;
  }
  bool ended() const override { return closed_ && buffer_.empty(); }
  int fd() const override { return closed_ ? -1 : fd_; }
  void OnReadable() override {
    char bytes[4096];
    const ssize_t n = read(fd_, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
      closed_ = true;
    } else {
      buffer_.append(bytes, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string buffer_;
  bool closed_ = false;
};

class Terminal final : public LineSource {
 public:
  Terminal(int in_fd, int out_fd, std::string prompt, Completer completer, std::string banner)
      : in_fd_(in_fd),
        out_fd_(out_fd),
        banner_(std::move(banner)),
        editor_(in_fd, out_fd, std::move(prompt), std::move(completer)) {}
  std::optional<std::string> TakeLine() override { return std::exchange(line_, std::nullopt); }
  bool ended() const override { return ended_ && !line_; }
  int fd() const override { return ended_ ? -1 : in_fd_; }
  void Waiting() override {
    if (!banner_.empty()) {
      // A terminal that takes no output shows no prompt either: nothing to do if this fails.
      [[maybe_unused]] const ssize_t written = write(out_fd_, banner_.data(), banner_.size());
      banner_.clear();
    }
    if (!editor_.editing() && !editor_.Begin()) ended_ = true;
  }
  void OnReadable() override {
    std::string line;
    const auto status = editor_.OnReadable(line);
    if (status == LineEditor::Status::kLine) {
      line_ = std::move(line);
    } else if (status) {
      ended_ = true;
      interrupted_ = status == LineEditor::Status::kInterrupted;
    }
  }
  void BeforeOutput() override { editor_.Hide(); }
  void AfterOutput() override { editor_.Show(); }
  bool typed() const override { return true; }
  bool interrupted() const override { return interrupted_; }

 private:
  int in_fd_;
  int out_fd_;
  std::string banner_;  // until it is shown
  LineEditor editor_;
  std::optional<std::string> line_;
  bool ended_ = false;
  bool interrupted_ = false;
};

}  // namespace

std::unique_ptr<LineSource> TextLines(std::string text) {
  return std::make_unique<Text>(std::move(text));
}

std::unique_ptr<LineSource> StreamLines(int fd) { return std::make_unique<Stream>(fd); }

std::unique_ptr<LineSource> TerminalLines(int in_fd, int out_fd, std::string prompt,
                                          Completer completer, std::string banner) {
  return std::make_unique<Terminal>(in_fd, out_fd, std::move(prompt), std::move(completer),
                                    std::move(banner));
}

std::string PromptBanner(std::string_view config) {
  std::string build = __DATE__;  // "Dec  8 2026"
  if (const auto twice = build.find("  "); twice != std::string::npos) build.erase(twice, 1);
  return "tamewarden-sim (build " + build + "), config " + std::string(config) +
         "; type help for help, Ctrl-D to quit\n";
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path))
    throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WorthEchoing(const std::string& line) {
  const auto first = line.find_first_not_of(" \t\r");
  return first != std::string::npos && line[first] != '#';
}

}  // namespace sim::tool
