#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splitting a script line into words. Words are separated by spaces and tabs; double quotes
// group a text with spaces or `#` into one word (inside them \" is a quote and \\ a backslash);
// a `#` outside quotes starts a comment that runs to the end of the line.
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

}  // namespace sim::tool
