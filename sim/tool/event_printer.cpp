#include "sim/tool/event_printer.h"

#include <fmt/format.h>

namespace sim::tool {
namespace {

using nlohmann::json;

// A value as JSON text; bad UTF-8 from a plug-in is replaced rather than thrown on.
std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string Text(const json& event, const char* key) {
  const auto it = event.find(key);
  return it == event.end() ? "null" : Dump(*it);
}

std::string Number(const json& value) {
  return value.is_number() ? fmt::format("{:g}", value.get<double>()) : Dump(value);
}

std::string Colour(const json& colour) {
  if (!colour.is_array()) return Dump(colour);
  std::string text;
  for (const json& part : colour) text += (text.empty() ? "" : ",") + Number(part);
  return text;
}

std::string Name(const json& event, const char* key) {
  const auto it = event.find(key);
  return it != event.end() && it->is_string() ? it->get<std::string>() : "(nobody)";
}

// The last part of a kind's path: "Blueprint'/Game/.../Rex_Character_BP.Rex_Character_BP'" is
// shown as Rex_Character_BP.
std::string ShortKind(std::string path) {
  if (path.ends_with('\'')) path.pop_back();
  const auto dot = path.rfind('.');
  return dot == std::string::npos ? path : path.substr(dot + 1);
}

std::string DescribeResult(const json& event) {
  std::string text = "result " + event.value("function", std::string("?")) + ": game function " +
                     (event.value("called", false) ? "ran" : "skipped");
  if (const auto it = event.find("value"); it != event.end()) {
    text += ", returned " + (it->is_string() ? it->get<std::string>() : Dump(*it));
  }
  return text;
}

std::string DescribeTruth(const json& event) {
  std::string kinds;
  if (const auto it = event.find("kinds"); it != event.end() && it->is_object()) {
    for (const auto& [path, count] : it->items())
      kinds += (kinds.empty() ? "" : ", ") + ShortKind(path) + " " + Dump(count);
  }
  return fmt::format("truth: team {} owns {} living tamed{}", Text(event, "team"),
                     Text(event, "total"), kinds.empty() ? "" : " (" + kinds + ")");
}

}  // namespace

std::string EventPrinter::Describe(const json& event) {
  const std::string kind = event.value("event", std::string());
  if (kind == "result") return DescribeResult(event);
  if (kind == "notification") {
    return fmt::format("notification to {}: {} (colour {}, scale {}, {} s)", Name(event, "player"),
                       Text(event, "text"), Colour(event.value("color", json())),
                       Number(event.value("scale", json())), Number(event.value("time", json())));
  }
  if (kind == "chat") {
    return fmt::format("chat to {} from {}: {}", Name(event, "player"), Name(event, "sender"),
                       Text(event, "text"));
  }
  if (kind == "server_message") {
    return fmt::format("server message to {}: {} (colour {})", Name(event, "player"),
                       Text(event, "text"), Colour(event.value("color", json())));
  }
  if (kind == "rcon") {
    return fmt::format("rcon answer to request {}: {}{}", Text(event, "id"), Text(event, "text"),
                       event.value("type", 0) == 0 ? "" : " (type " + Text(event, "type") + ")");
  }
  if (kind == "unequip") {
    return fmt::format("unequip: {} puts away {}", Name(event, "player"), Name(event, "item"));
  }
  if (kind == "log") {
    return fmt::format("log {} [{}] {}", event.value("level", std::string()),
                       event.value("logger", std::string()), event.value("text", std::string()));
  }
  if (kind == "truth") return DescribeTruth(event);
  if (kind == "load") {
    if (!event.value("ok", false)) return "plug-in failed to load: " + Text(event, "error");
    std::string text = "plug-in loaded";
    if (const auto calls = event.find("registered"); calls != event.end() && calls->is_array()) {
      for (const auto& call : *calls) {
        if (call.is_string()) text += "\n      " + call.get<std::string>();
      }
    }
    return text;
  }
  if (kind == "unload") return "plug-in unloaded";
  if (kind == "error") {
    const int line = event.value("line", 0);
    return (line > 0 ? fmt::format("error on line {}: ", line) : std::string("error: ")) +
           event.value("text", std::string());
  }
  if (kind == "crash") {
    const auto function = event.find("function");
    return "CRASH" + (function != event.end() ? " in " + Dump(*function) : std::string()) + ": " +
           Text(event, "text");
  }
  return Dump(event);
}

std::string EventPrinter::Json(const json& event) {
  // "event" first, so that a reader sees the kind before the fields.
  std::string text = "{\"event\":" + Text(event, "event");
  for (const auto& [key, value] : event.items()) {
    if (key != "event") text += "," + Dump(key) + ":" + Dump(value);
  }
  return text + "}";
}

void EventPrinter::Print(const json& event) {
  // Called from inside game calls: nothing may leave it.
  try {
    Write(json_ ? Json(event) : "    " + Describe(event));
  } catch (const std::exception& error) {
    Write(std::string("    (an event could not be shown: ") + error.what() + ")");
  }
}

void EventPrinter::Echo(int line, std::string_view text) {
  if (!json_) Write(fmt::format("{:>4}> {}", line, text));
}

void EventPrinter::Write(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace sim::tool
