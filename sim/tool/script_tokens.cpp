#include "sim/tool/script_tokens.h"

#include <algorithm>
#include <charconv>

namespace sim::tool {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<Token> Tokenize(std::string_view line, std::string& error) {
  // Where the content ends: at a `#` outside quotes, else at the end of the line.
  std::size_t end = line.size();
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (quoted && line[i] == '\\' && i + 1 < line.size()) {
      ++i;
    } else if (line[i] == '"') {
      quoted = !quoted;
    } else if (line[i] == '#' && !quoted) {
      end = i;
      break;
    }
  }
  if (quoted) {
    error = "unterminated quote";
    return {};
  }
  while (end > 0 && IsSpace(line[end - 1])) --end;

  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < end) {
    if (IsSpace(line[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    for (bool in_quotes = false; i < end && (in_quotes || !IsSpace(line[i])); ++i) {
      if (in_quotes && line[i] == '\\' && i + 1 < end) {
        ++i;
      } else if (line[i] == '"') {
        in_quotes = !in_quotes;
      }
    }
    tokens.push_back(
        {std::string(line.substr(start, i - start)), std::string(line.substr(start, end - start))});
  }
  return tokens;
}

std::string Unquote(std::string_view raw) {
  std::string text;
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (quoted && raw[i] == '\\' && i + 1 < raw.size()) {
      text.push_back(raw[++i]);
    } else if (raw[i] == '"') {
      quoted = !quoted;
    } else {
      text.push_back(raw[i]);
    }
  }
  return text;
}

std::string RestOfLine(const Token& token) {
  const std::string& rest = token.rest;
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
    // One quoted text, unless the quote closes early ("a" "b").
    bool closed_early = false;
    for (std::size_t i = 1; i + 1 < rest.size(); ++i) {
      if (rest[i] == '\\') {
        ++i;
      } else if (rest[i] == '"') {
        closed_early = true;
        break;
      }
    }
    if (!closed_early) return Unquote(rest);
  }
  return rest;
}

bool ParseInt(std::string_view text, int32_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseUint64(std::string_view text, uint64_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find(separator, at), text.size());
    parts.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

bool ParseVector(std::string_view text, float& x, float& y, float& z) {
  const std::vector<std::string> parts = Split(text, ',');
  if (parts.size() != 3) return false;
  float* values[] = {&x, &y, &z};
  for (std::size_t i = 0; i < 3; ++i) {
    const char* last = parts[i].data() + parts[i].size();
    const auto [end, error] = std::from_chars(parts[i].data(), last, *values[i]);
    if (error != std::errc() || end != last) return false;
  }
  return true;
}

}  // namespace sim::tool
