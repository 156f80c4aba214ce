#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/config_check.h"

// Reading the text of a configuration file into a document, as the plug-in and `tamewarden-sim
// --check` both do. The parse is bounded: a file over kMaxConfigBytes is refused before it is
// read, and nesting deeper than kMaxParseDepth stops the parse there, so a refused file costs
// time in proportion to its size and little memory. The first JSON value is the document; text
// after it is ignored, with a warning.

// A configuration is a few kilobytes; a larger file is refused unread.
inline constexpr std::size_t kMaxConfigBytes = 8 << 20;
// Nesting the parse stops at: far above what the check allows (kMaxNesting), so the check still
// names where a value nests too deep, and low enough that no file can make the parse costly.
inline constexpr std::size_t kMaxParseDepth = 1000;

struct ParsedConfig {
  nlohmann::json document;  // null when the parse failed
  // Why there is no document: the JSON library's exception text, "Can't open config.json", or
  // the size or depth bound's text; empty when the parse succeeded.
  std::string error;
  // With an error: one sentence for the owner with the full path of the file and, for a syntax
  // error, the line and column of its cause (a trailing comma, a comment, ...). May be empty.
  std::string detail;
  // Found while parsing a document that parsed: the same key twice in one object (errors) and
  // text after the document (a warning).
  std::vector<Finding> findings;
};

// Reads and parses the file at `path`: refused unread when it is larger than kMaxConfigBytes, and
// "Can't open config.json" when it cannot be opened.
ParsedConfig ParseConfigFile(const std::string& path);

// Parses `text`; `path` names the file in `detail`.
ParsedConfig ParseConfigText(std::string_view text, std::string_view path);
