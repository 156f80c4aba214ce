#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace sim::tool {

struct PrintSettings {
  bool json = false;     // one JSON object per line instead of readable text
  bool verbose = false;  // text: a load lists everything the plug-in registered
  bool colour = false;   // text: refusals red, allowed results green, errors bold
};

// Writes what the server observes to a stream as it happens: each event as one JSON object per
// line, or as readable text under the script line that caused it. Writes go through C stdio and
// are flushed at once, so they stay in order with the plug-in's own diagnostic lines on stdout.
class EventPrinter {
 public:
  EventPrinter(std::FILE* out, PrintSettings settings) : out_(out), settings_(settings) {}

  void Print(const nlohmann::json& event);
  // A script line about to run; shown in text mode only.
  void Echo(int line, std::string_view text);
  // A line of the tool's own under the script line, such as the world's summary; text mode only.
  void Note(std::string_view text);

  // The readable form of one event, without indentation or final newline; an event of several
  // lines indents the later ones by two.
  static std::string Describe(const nlohmann::json& event, bool verbose = false);
  // The terminal colour of an event's text (an SGR parameter such as "31"), or empty.
  static std::string_view ColourOf(const nlohmann::json& event);
  // One event as a line of JSON, its "event" member first.
  static std::string Json(const nlohmann::json& event);

 private:
  void Write(const std::string& text);

  std::FILE* out_;
  PrintSettings settings_;
};

}  // namespace sim::tool
