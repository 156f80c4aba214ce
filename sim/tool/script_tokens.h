#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Splitting a script line into words, and reading the values in them. Words are separated by spaces
// and tabs; double quotes group a text with spaces or `#` into one word (inside them \" is a quote
// and \\ a backslash); a `#` outside quotes starts a comment that runs to the end of the line.
namespace sim::tool {

struct Token {
  std::string raw;   // the word as written, quotes included
  std::string rest;  // the rest of the line from this word on, as written, comment removed
};

// The words of a line; an unterminated quote sets `error`.
std::vector<Token> Tokenize(std::string_view line, std::string& error);

// A word without its quotes, escapes resolved.
std::string Unquote(std::string_view raw);

// The rest of the line from a word on: as written, or unquoted when one quoted text is all of it.
std::string RestOfLine(const Token& token);

// Number conversions shared by the parser and the runner; false when the text is not entirely
// a number in range.
bool ParseInt(std::string_view text, int32_t& value);
bool ParseUint64(std::string_view text, uint64_t& value);
// The parts between separators, empty ones included ("" is one empty part).
std::vector<std::string> Split(std::string_view text, char separator);
// "X,Y,Z" as three numbers.
bool ParseVector(std::string_view text, float& x, float& y, float& z);

}  // namespace sim::tool
