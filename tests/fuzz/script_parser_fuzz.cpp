// The stand-in's script parser on arbitrary text, line by line into one parser, so that later
// lines refer to the names earlier ones defined. Every line must come back as a statement,
// nothing or an error, never a crash or an exception.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sim/tool/script_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  sim::tool::ScriptParser parser;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    const sim::tool::Parsed parsed = parser.Parse(line);
    if (parsed.statement) {
      if (!parsed.error.empty()) std::abort();
      if (parsed.statement->verb != sim::tool::ScriptParser::VerbOf(line)) std::abort();
    }
    at = end + 1;
  }
  return 0;
}
