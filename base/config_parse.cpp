#include "base/config_parse.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unordered_map>
#include <utility>

#include <fmt/format.h>

namespace {

using nlohmann::json;

// Findings for repeated keys, one each; more are summed up in one more finding.
constexpr std::size_t kMaxDuplicateFindings = 20;
// A finding's key is cut here: the log cuts fields shorter still.
constexpr std::size_t kMaxKeyPath = 4096;

std::string SizeError(std::uintmax_t size) {
  return fmt::format(
      "config.json holds {} bytes, more than the {} MB the plug-in reads; a configuration is a "
      "few kilobytes: check that this is the right file",
      size, kMaxConfigBytes >> 20);
}

// The member holding the cluster's database password, which no error or finding may show.
constexpr std::string_view kSecretMember = "MysqlPass";

// The parser's error text without the token it quotes ("; last read: '...'"), which ends the
// text or comes before "; expected ...".
std::string WithoutLastRead(std::string error) {
  const std::size_t start = error.find("; last read: '");
  if (start == std::string::npos) return error;
  const std::size_t expected = error.rfind("'; expected ");
  const std::size_t end =
      expected != std::string::npos && expected >= start ? expected + 1 : error.size();
  return error.erase(start, end - start);
}

bool HasUtf8Bom(std::string_view text) { return text.starts_with("\xEF\xBB\xBF"); }

// "line L, column C" of the byte at `at`: columns count characters (the bytes before `at` are
// UTF-8: the parser read them), and a byte-order mark is no character.
std::string Where(std::string_view text, std::size_t at) {
  at = std::min(at, text.size());
  const std::string_view before = text.substr(0, at);
  const std::size_t line = 1 + std::ranges::count(before, '\n');
  const std::size_t newline = before.rfind('\n');
  const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
  std::size_t column = 1 + std::ranges::count_if(before.substr(start), [](char c) {
                         return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
                       });
  if (start == 0 && at >= 3 && HasUtf8Bom(text)) --column;
  return fmt::format("line {}, column {}", line, column);
}

// "PATH, line L, column C".
std::string Place(std::string_view text, std::string_view path, std::size_t at) {
  return fmt::format("{}, {}", path, Where(text, at));
}

// Counts the lines of the text up to positions asked for in increasing order, in one pass in
// all.
class LineCounter {
 public:
  explicit LineCounter(std::string_view text) : text_(text) {}
  std::size_t LineAt(std::size_t at) {
    at = std::min(at, text_.size());
    if (at > counted_) {
      line_ += std::count(text_.begin() + counted_, text_.begin() + at, '\n');
      counted_ = at;
    }
    return line_;
  }

 private:
  std::string_view text_;
  std::size_t counted_ = 0;
  std::size_t line_ = 1;
};

// An iterator over the text that leaves where the parser reads in a shared cursor, so that the
// parser's handler knows the position of what it is told about.
class TrackedIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  TrackedIterator(const char* at, const char** cursor) : at_(at), cursor_(cursor) {}
  reference operator*() const { return *at_; }
  TrackedIterator& operator++() {
    *cursor_ = ++at_;
    return *this;
  }
  TrackedIterator operator++(int) {
    TrackedIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const TrackedIterator& other) const { return at_ == other.at_; }

 private:
  const char* at_;
  const char** cursor_;
};

// The parser's own handler, which builds the document, with a bound on the nesting, the same key
// twice in one object found, and the first error kept rather than thrown.
class Handler : public nlohmann::detail::json_sax_dom_parser<json> {
  using Base = nlohmann::detail::json_sax_dom_parser<json>;

 public:
  Handler(json& document, std::string_view text, const char* const& cursor)
      : Base(document), text_(text), cursor_(cursor), lines_(text) {}

  bool null() { return Value(), Base::null(); }
  bool boolean(bool value) { return Value(), Base::boolean(value); }
  bool number_integer(number_integer_t value) { return Value(), Base::number_integer(value); }
  bool number_unsigned(number_unsigned_t value) { return Value(), Base::number_unsigned(value); }
  bool number_float(number_float_t value, const string_t& text) {
    return Value(), Base::number_float(value, text);
  }
  bool string(string_t& value) { return Value(), Base::string(value); }
  bool binary(binary_t& value) { return Value(), Base::binary(value); }
  bool start_object(std::size_t elements) {
    return Open(/*array=*/false) && Base::start_object(elements);
  }
  bool end_object() { return Close(), Base::end_object(); }
  bool start_array(std::size_t elements) {
    return Open(/*array=*/true) && Base::start_array(elements);
  }
  bool end_array() { return Close(), Base::end_array(); }

  bool key(string_t& name) {
    Frame& frame = frames_.back();
    const std::size_t line = lines_.LineAt(Offset());
    if (auto [it, fresh] = frame.lines.try_emplace(name, line); !fresh) {
      Repeated(name, std::exchange(it->second, line), line);
    }
    frame.key = name;
    return Base::key(name);
  }

  template <class Exception>
  bool parse_error(std::size_t position, const std::string&, const Exception& error) {
    error_ = error.what();
    // The parser quotes the token it failed in; within the password that is the password.
    if (std::ranges::any_of(frames_,
                            [](const Frame& f) { return !f.array && f.key == kSecretMember; }))
      error_ = WithoutLastRead(std::move(error_));
    error_at_ = position == 0 ? 0 : position - 1;  // the last byte read
    return false;
  }

  // Whether the first value was read whole: an error after it is in the text that follows.
  bool complete() const { return complete_; }
  bool too_deep() const { return too_deep_; }
  const std::string& error() const { return error_; }
  std::size_t error_at() const { return error_at_; }
  std::vector<Finding> TakeFindings() {
    if (unreported_ > 0) {
      findings_.push_back(
          {Severity::kError, "(document)",
           fmt::format(
               "{} more key{} appear{} twice in the same object; the plug-in would use only "
               "the last of each: keep one",
               unreported_, unreported_ == 1 ? "" : "s", unreported_ == 1 ? "s" : "")});
    }
    return std::move(findings_);
  }

 private:
  struct Frame {
    bool array;
    bool brackets;             // members named by the owner (kinds, items): keys in brackets
    std::size_t elements = 0;  // values begun so far, in an array
    std::string key;           // the member being read, in an object
    std::unordered_map<std::string, std::size_t> lines;  // the line of each key so far
  };

  std::size_t Offset() const { return static_cast<std::size_t>(cursor_ - text_.data()); }

  void Value() {
    if (frames_.empty()) {
      complete_ = true;
    } else if (frames_.back().array) {
      ++frames_.back().elements;
    }
  }

  bool Open(bool array) {
    if (frames_.size() >= kMaxParseDepth) {
      too_deep_ = true;
      error_ = fmt::format(
          "config.json nests objects and arrays deeper than {} levels, and the plug-in stopped "
          "reading it there; write the values without the nesting",
          kMaxParseDepth);
      error_at_ = Offset() == 0 ? 0 : Offset() - 1;  // the bracket
      return false;
    }
    bool brackets = false;
    if (!frames_.empty()) {
      Frame& parent = frames_.back();
      if (parent.array) {
        ++parent.elements;
      } else {
        brackets = parent.key == "Dinos" || parent.key == "ItemMap";
      }
    }
    frames_.push_back({array, brackets});
    return true;
  }

  void Close() {
    frames_.pop_back();
    if (frames_.empty()) complete_ = true;
  }

  // Where the member `name` of the innermost object stands.
  std::string KeyOf(std::string_view name) const {
    std::string path;
    for (std::size_t i = 0; i + 1 < frames_.size(); ++i) {
      const Frame& frame = frames_[i];
      path = frame.array ? path + "[" + std::to_string(frame.elements - 1) + "]"
                         : MemberKey(path, frame.key, frame.brackets);
      // Keys inside a value written as the password are as secret as the password.
      if (!frame.array && frame.key == kSecretMember) return path;
      if (path.size() > kMaxKeyPath) return path.substr(0, kMaxKeyPath) + "…";
    }
    return MemberKey(path, name, frames_.back().brackets);
  }

  void Repeated(std::string_view name, std::size_t first, std::size_t second) {
    if (findings_.size() == kMaxDuplicateFindings) {
      ++unreported_;
      return;
    }
    findings_.push_back({Severity::kError, KeyOf(name),
                         fmt::format("appears twice in the same object (lines {} and {}); the "
                                     "plug-in would use only the last one: keep one",
                                     first, second)});
  }

  std::string_view text_;
  const char* const& cursor_;  // just after the last byte the parser read
  LineCounter lines_;
  std::vector<Frame> frames_;  // the objects and arrays open, outermost first
  bool complete_ = false;
  bool too_deep_ = false;
  std::string error_;
  std::size_t error_at_ = 0;
  std::vector<Finding> findings_;
  std::size_t unreported_ = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// The position of the last byte before `at` that is no white space, or npos.
std::size_t PreviousNonSpace(std::string_view text, std::size_t at) {
  while (at > 0) {
    if (!IsSpace(text[--at])) return at;
  }
  return std::string_view::npos;
}

// The first byte in text[0, end) that does not begin or continue a UTF-8 character, or npos.
std::size_t FirstNonUtf8(std::string_view text, std::size_t end) {
  end = std::min(end, text.size());
  for (std::size_t i = 0; i < end;) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (byte < 0x80) {
      ++i;
      continue;
    } else if (byte >= 0xC2 && byte <= 0xDF) {
      length = 2;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      length = 3;
      if (byte == 0xE0) low = 0xA0;
      if (byte == 0xED) high = 0x9F;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      length = 4;
      if (byte == 0xF0) low = 0x90;
      if (byte == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    if (i + length > text.size()) return i;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return i;
    }
    i += length;
  }
  return std::string_view::npos;
}

// What a byte from 0x80 up stands for in Windows-1252 (Latin-1 from 0xA0), as UTF-8; empty where
// it stands for nothing.
std::string Windows1252(unsigned char byte) {
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  const char16_t code = byte >= 0xA0 ? byte : kHigh[byte - 0x80];
  if (code == 0 || code == 0xA0 || code == 0xAD) return "";  // nothing visible
  std::string utf8;
  if (code < 0x800) {
    utf8 += static_cast<char>(0xC0 | (code >> 6));
  } else {
    utf8 += static_cast<char>(0xE0 | (code >> 12));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  }
  utf8 += static_cast<char>(0x80 | (code & 0x3F));
  return utf8;
}

// A sentence on a file that is no UTF-8 before the error at `at`, or empty.
std::string EncodingSlip(std::string_view text, std::string_view path, std::size_t at) {
  for (const auto& [mark, order] :
       {std::pair{"\xFF\xFE", "little-endian"}, std::pair{"\xFE\xFF", "big-endian"}}) {
    if (text.starts_with(mark)) {
      return fmt::format(
          "{}: the file is saved as UTF-16 ({}, by its byte-order mark), not UTF-8: save it as "
          "UTF-8",
          Place(text, path, 0), order);
    }
  }
  const std::string_view read = text.substr(0, std::min(at + 1, text.size()));
  if (const std::size_t zero = read.find('\0'); zero != std::string_view::npos) {
    const std::string_view head = text.substr(0, 64);
    if (static_cast<std::size_t>(std::ranges::count(head, '\0')) * 4 >= head.size()) {
      return fmt::format(
          "{}: a zero byte; the file looks saved as UTF-16 ({}: a zero byte beside each "
          "character), not UTF-8: save it as UTF-8",
          Place(text, path, zero), text[0] == '\0' ? "big-endian" : "little-endian");
    }
    return fmt::format("{}: a zero byte, which JSON text cannot hold: remove it",
                       Place(text, path, zero));
  }
  if (const std::size_t bad = FirstNonUtf8(text, at + 1); bad != std::string_view::npos) {
    const auto byte = static_cast<unsigned char>(text[bad]);
    const std::string shown = Windows1252(byte);
    return fmt::format(
        "{}: the byte 0x{:02X} is no UTF-8; the file looks saved as Latin-1 or Windows-1252{}: "
        "save it as UTF-8",
        Place(text, path, bad), byte, shown.empty() ? "" : ", where it is " + shown);
  }
  return "";
}

// A sentence on the cause of the syntax error `error` the parser met at byte `at`, with its line
// and column: the common slips by name, else just where.
std::string Diagnose(std::string_view text, std::string_view path, std::size_t at,
                     std::string_view error) {
  if (std::string encoding = EncodingSlip(text, path, at); !encoding.empty()) return encoding;
  const std::size_t begin = HasUtf8Bom(text) ? 3 : 0;
  if (std::all_of(text.begin() + begin, text.end(), IsSpace)) {
    return fmt::format("{}: the file is empty; it should hold one JSON object, {{ ... }}",
                       Place(text, path, begin));
  }
  if (at >= text.size()) {
    return fmt::format(
        "{}: the file ends inside an object or array that was never closed: a }} or ] is missing",
        Place(text, path, text.size()));
  }
  const char c = text[at];
  if (c == '/' && at + 1 < text.size() && (text[at + 1] == '/' || text[at + 1] == '*')) {
    return fmt::format("{}: a comment; JSON has no comments: remove it", Place(text, path, at));
  }
  if (c == '\'') {
    return fmt::format(
        "{}: a single quote; JSON writes keys and texts in double quotes: \"like this\"",
        Place(text, path, at));
  }
  if (c == '}' || c == ']') {
    if (const std::size_t comma = PreviousNonSpace(text, at);
        comma != std::string_view::npos && text[comma] == ',') {
      return fmt::format("{}: a comma after the last {}; JSON allows none there: remove it",
                         Place(text, path, comma),
                         c == '}' ? "member of an object" : "element of an array");
    }
  }
  if (IsWordChar(c)) {
    std::size_t start = at;
    while (start > 0 && at - start < 8 && IsWordChar(text[start - 1])) --start;
    std::size_t end = at;
    while (end < text.size() && end - start < 8 && IsWordChar(text[end])) ++end;
    const std::string_view word = text.substr(start, end - start);
    std::string lower(word);
    std::ranges::transform(lower, lower.begin(),
                           [](char l) { return static_cast<char>(std::tolower(l)); });
    if (lower == "none") lower = "null";
    if (word != lower && (lower == "true" || lower == "false" || lower == "null")) {
      return fmt::format("{}: {} is no JSON value: write {}", Place(text, path, start), word,
                         lower);
    }
  }
  // After a value, where a comma or the end of the object or array must come, the next value
  // begins: the comma between them is missing. It belongs right after the value before.
  const bool in_object = error.ends_with("; expected '}'");
  const bool value_begins = c == '"' || c == '{' || c == '[' || c == '-' || IsWordChar(c);
  if ((in_object || error.ends_with("; expected ']'")) && value_begins) {
    std::size_t start = at;
    if (c == '"') {
      start = at == 0 ? 0 : at - 1;
      while (start > 0 && text[start] != '\n' && !(text[start] == '"' && text[start - 1] != '\\'))
        --start;
    } else if (c != '{' && c != '[') {
      while (start > 0 && (IsWordChar(text[start - 1]) || text[start - 1] == '.' ||
                           text[start - 1] == '-' || text[start - 1] == '+'))
        --start;
    }
    if (const std::size_t value = PreviousNonSpace(text, start); value != std::string_view::npos) {
      return fmt::format("{}: a comma is missing here, between two {}: write one",
                         Place(text, path, value + 1),
                         in_object ? "members of an object" : "elements of an array");
    }
  }
  return fmt::format("{}: here the text stops being JSON", Place(text, path, at));
}

}  // namespace

ParsedConfig ParseConfigText(std::string_view text, std::string_view path) {
  ParsedConfig parsed;
  if (text.size() > kMaxConfigBytes) {
    parsed.error = SizeError(text.size());
    parsed.detail = fmt::format("{} was not read: it holds {} bytes", path, text.size());
    return parsed;
  }
  const char* cursor = text.data();
  Handler handler(parsed.document, text, cursor);
  try {
    const char* end = text.data() + text.size();
    const bool whole =
        json::sax_parse(TrackedIterator(text.data(), &cursor), TrackedIterator(end, &cursor),
                        &handler, json::input_format_t::json, /*strict=*/true);
    parsed.findings = handler.TakeFindings();
    if (whole) {
      // A zero byte ends the parser's input as the end of the text does.
      if (cursor != text.data() && cursor[-1] == '\0') {
        const std::size_t zero = static_cast<std::size_t>(cursor - text.data()) - 1;
        parsed.findings.push_back(
            {Severity::kWarning, "(document)",
             "the plug-in ignores what follows the document (from the zero byte at " +
                 Where(text, zero) + ")"});
      }
    } else if (handler.complete() && !handler.too_deep()) {
      parsed.findings.push_back(
          {Severity::kWarning, "(document)",
           "the plug-in ignores what follows the document (" + handler.error() + ")"});
    } else {
      parsed.error = handler.error();
      parsed.detail = handler.too_deep()
                          ? fmt::format("{}: here the nesting passes {} levels",
                                        Place(text, path, handler.error_at()), kMaxParseDepth)
                          : Diagnose(text, path, handler.error_at(), handler.error());
    }
  } catch (const std::exception& error) {  // out of memory, or a number the library refuses
    parsed.error = error.what();
  }
  if (!parsed.error.empty()) {
    parsed.document = nullptr;
    parsed.findings.clear();
  }
  return parsed;
}

ParsedConfig ParseConfigFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code failed;
  std::ifstream file;
  if (fs::is_regular_file(path, failed)) file.open(path, std::ios::binary);
  if (!file.is_open()) {
    ParsedConfig parsed;
    parsed.error = "Can't open " + fs::path(path).filename().string();
    parsed.detail = fs::exists(path, failed)
                        ? fmt::format("{} is there but could not be opened as a file", path)
                        : fmt::format("there is no file at {}", path);
    return parsed;
  }
  // Refused from its size, before anything is read.
  const std::uintmax_t size = fs::file_size(path, failed);
  if (!failed && size > kMaxConfigBytes) {
    ParsedConfig parsed;
    parsed.error = SizeError(size);
    parsed.detail = fmt::format("{} was not read: it holds {} bytes", path, size);
    return parsed;
  }
  // Read to its end, in case it grew since, but never far past the cap: the text's own size is
  // checked again.
  std::string text;
  text.reserve(failed ? 0 : static_cast<std::size_t>(size));
  std::array<char, 16 << 10> chunk;
  while (text.size() <= kMaxConfigBytes) {
    file.read(chunk.data(), chunk.size());
    text.append(chunk.data(), static_cast<std::size_t>(file.gcount()));
    if (!file) break;
  }
  file.close();
  return ParseConfigText(text, path);
}
