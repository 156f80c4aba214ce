#include "sim/tool/event_printer.h"

#include <fmt/format.h>

#include "sim/framework/event_kinds.h"

namespace sim::tool {
namespace {

using nlohmann::json;
using enum EventKind;

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

// An answer's text after its heading: one line as the quoted string it is, several lines (as
// /limits answers) one per line, indented under the heading, with the details before the colon.
std::string WithText(const json& event, const std::string& heading, const std::string& details) {
  const auto it = event.find("text");
  if (it == event.end() || !it->is_string() ||
      it->get_ref<const std::string&>().find('\n') == std::string::npos)
    return heading + ": " + Text(event, "text") + details;
  std::string text = it->get<std::string>();
  while (text.ends_with('\n')) text.pop_back();
  std::string shown = heading + details + ":";
  for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = text.find('\n', start);
    shown += "\n  " + text.substr(start, end == std::string::npos ? end : end - start);
  }
  return shown;
}

// A kind as the config names it ("names" maps paths to display names), else its path's last part.
std::string KindName(const json& event, const std::string& path) {
  const auto names = event.find("names");
  if (names != event.end() && names->is_object()) {
    const auto it = names->find(path);
    if (it != names->end() && it->is_string()) return it->get<std::string>();
  }
  return ShortKind(path);
}

std::string DescribeResult(const json& event) {
  std::string text = "result " + event.value("function", std::string("?")) + ": game function " +
                     (event.value("called", false) ? "ran" : "skipped");
  if (const auto it = event.find("value"); it != event.end()) {
    text += ", returned " + (it->is_string() ? it->get<std::string>() : Dump(*it));
  }
  // Said in words too, for a reader without colour.
  return text + (event.value("refused", false) ? " (refused)" : "");
}

std::string DescribeTruth(const json& event) {
  std::string kinds;
  if (const auto it = event.find("kinds"); it != event.end() && it->is_object()) {
    for (const auto& [path, count] : it->items())
      kinds += (kinds.empty() ? "" : ", ") + KindName(event, path) + " " + Dump(count);
  }
  return fmt::format("truth: team {} owns {} living tamed{}", Text(event, "team"),
                     Text(event, "total"), kinds.empty() ? "" : " (" + kinds + ")");
}

std::string DescribeLoad(const json& event, bool verbose) {
  if (!event.value("ok", false)) return "plug-in failed to load: " + Text(event, "error");
  const auto calls = event.find("registered");
  if (calls == event.end() || !calls->is_array()) return "plug-in loaded";
  int commands = 0, hooks = 0;
  std::string list;
  for (const auto& call : *calls) {
    if (!call.is_string()) continue;
    const std::string& text = call.get_ref<const std::string&>();
    commands += text.starts_with("Register") ? 1 : 0;
    hooks += text.starts_with("InstallHook") ? 1 : 0;
    list += "\n  " + text;
  }
  return fmt::format("plug-in loaded: {} command{}, {} hook{}", commands, commands == 1 ? "" : "s",
                     hooks, hooks == 1 ? "" : "s") +
         (verbose ? list : "");
}

std::string Location(const json& at) { return at.is_array() ? ", at " + Colour(at) : ""; }

// One section of the world: a heading with the count, then a line per entry.
template <typename Line>
std::string Section(const json& event, const char* key, Line line) {
  const auto entries = event.find(key);
  if (entries == event.end() || !entries->is_array()) return "";
  std::string text = fmt::format("\n{} ({}){}", key, entries->size(), entries->empty() ? "" : ":");
  for (const json& entry : *entries) text += "\n  " + line(entry);
  return text;
}

std::string DescribeWorld(const json& event) {
  std::string text = event.value("loaded", false) ? "plug-in loaded" : "plug-in not loaded";
  text += Section(event, "players", [](const json& p) {
    std::string line = fmt::format("{}: id {}", Name(p, "name"), Text(p, "id"));
    if (p.value("tribe", 0) != 0) line += ", tribe " + Text(p, "tribe");
    line += ", team " + Text(p, "team");
    if (const auto groups = p.find("groups"); groups != p.end() && groups->is_array()) {
      for (std::size_t i = 0; i < groups->size(); ++i)
        line += (i == 0 ? ", groups " : ",") + (*groups)[i].get<std::string>();
    }
    return line + (p.value("dead", false) ? ", dead" : "");
  });
  text += Section(event, "dinos", [&event](const json& d) {
    const int team = d.value("team", 0);
    return fmt::format(
        "{}: {}, {}{}{}{}", Name(d, "name"), KindName(event, d.value("kind", std::string())),
        team == 0 ? std::string("wild") : "team " + std::to_string(team),
        d.value("dead", false) ? ", dead" : "", d.value("destroyed", false) ? ", destroyed" : "",
        Location(d.value("at", json())));
  });
  text += Section(event, "structures", [](const json& s) {
    const std::string at = Location(s.value("at", json()));
    return Name(s, "name") + (at.empty() ? "" : ":" + at.substr(1));
  });
  text += Section(event, "items", [&event](const json& i) {
    std::string line = Name(i, "name") + ": " + ShortKind(i.value("kind", std::string()));
    if (const auto held = i.find("holds"); held != i.end() && held->is_array()) {
      std::string kinds;
      for (const json& path : *held)
        if (path.is_string()) kinds += (kinds.empty() ? "" : ", ") + KindName(event, path);
      line += ", " + (kinds.empty() ? std::string("empty") : "holds " + kinds);
    }
    return line;
  });
  return text;
}

}  // namespace

std::string EventPrinter::Describe(const json& event, bool verbose) {
  const auto kind = EventKindOf(event);
  if (kind == kResult) return DescribeResult(event);
  if (kind == kNotification)
    return WithText(
        event, "notification to " + Name(event, "player"),
        fmt::format(" (colour {}, scale {}, {} s)", Colour(event.value("color", json())),
                    Number(event.value("scale", json())), Number(event.value("time", json()))));
  if (kind == kChat)
    return WithText(
        event, fmt::format("chat to {} from {}", Name(event, "player"), Name(event, "sender")), "");
  if (kind == kServerMessage)
    return WithText(event, "server message to " + Name(event, "player"),
                    " (colour " + Colour(event.value("color", json())) + ")");
  if (kind == kRcon)
    return WithText(event, "rcon answer to request " + Text(event, "id"),
                    event.value("type", 0) == 0 ? "" : " (type " + Text(event, "type") + ")");
  if (kind == kUnequip)
    return fmt::format("unequip: {} puts away {}", Name(event, "player"), Name(event, "item"));
  if (kind == kLog)
    return fmt::format("log {} [{}] {}", event.value("level", std::string()),
                       event.value("logger", std::string()), event.value("text", std::string()));
  if (kind == kTruth) return DescribeTruth(event);
  if (kind == kLoad) return DescribeLoad(event, verbose);
  if (kind == kUnload) return "plug-in unloaded";
  if (kind == kError) {
    const int line = event.value("line", 0);
    return (line > 0 ? fmt::format("error on line {}: ", line) : std::string("error: ")) +
           event.value("text", std::string());
  }
  if (kind == kHelp) {
    std::string text = event.value("text", std::string());
    while (text.ends_with('\n')) text.pop_back();
    return text;
  }
  if (kind == kWorld) return DescribeWorld(event);
  if (kind == kRconBan) {
    if (event.value("seconds", 0) == 0)
      return "rcon: the ban of " + event.value("address", std::string()) + " has ended";
    return fmt::format("rcon: {} banned for {} s after {} failed logins",
                       event.value("address", std::string()), Text(event, "seconds"),
                       Text(event, "failures"));
  }
  if (kind == kCrash) {
    const auto function = event.find("function");
    return "CRASH" + (function != event.end() ? " in " + Dump(*function) : std::string()) + ": " +
           Text(event, "text");
  }
  if (kind == kSync) return "sync: " + event.value("text", std::string());
  return Dump(event);
}

std::string EventPrinter::Json(const json& event) {
  // "event" first, so that a reader sees the kind before the fields.
  std::string text = "{\"event\":" + Text(event, "event");
  for (const auto& [key, value] : event.items())
    if (key != "event") text += "," + Dump(key) + ":" + Dump(value);
  return text + "}";
}

std::string_view EventPrinter::ColourOf(const json& event) {
  const auto kind = EventKindOf(event);
  if (kind == kResult) {
    if (const auto refused = event.find("refused"); refused != event.end() && refused->is_boolean())
      return *refused ? "31" : "32";
    // Without the member, as in an event made by hand: a skip or a no.
    const auto value = event.find("value");
    const bool refused =
        !event.value("called", true) || (value != event.end() && value->is_boolean() && !*value);
    return refused ? "31" : "32";
  }
  if (kind == kError) return "1";
  if (kind == kCrash || (kind == kLoad && !event.value("ok", false))) return "1;31";
  if (kind == kRconBan) return "1;33";
  return "";
}

void EventPrinter::Print(const json& event) {
  // Called from inside game calls: nothing may leave it.
  try {
    if (settings_.json) {
      Write(Json(event));
      return;
    }
    // In a cluster every event names the map it happened on.
    const auto map = event.find("map");
    const std::string prefix =
        map != event.end() && map->is_string() ? "[" + map->get<std::string>() + "] " : "";
    std::string text = "    " + prefix + Describe(event, settings_.verbose);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 5))
      text.insert(at + 1, "    ");
    const std::string_view colour = settings_.colour ? ColourOf(event) : "";
    Write(colour.empty() ? text : "\x1b[" + std::string(colour) + "m" + text + "\x1b[0m");
  } catch (const std::exception& error) {
    Write(std::string("    (an event could not be shown: ") + error.what() + ")");
  }
}

void EventPrinter::Echo(int line, std::string_view text) {
  if (!settings_.json) Write(fmt::format("{:>4}> {}", line, text));
}

void EventPrinter::Note(std::string_view text) {
  if (!settings_.json) Write(fmt::format("    {}", text));
}

void EventPrinter::Write(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace sim::tool
