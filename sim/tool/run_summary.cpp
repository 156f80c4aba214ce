#include "sim/tool/run_summary.h"

#include <algorithm>
#include <regex>

#include <fmt/format.h>

namespace sim::tool {
namespace {

using nlohmann::json;

// "Tame refused for team 200001 (alice, Steam id 7656...): Blueprint'...' (kind limit 2/2)", or
// "Merge refused for teams 200001 and 200002: all creatures (total limit 9/6)".
const std::regex kRefusal(
    R"(^(.+?) refused for teams? (\d+(?: and \d+)?)(?: \([^)]*\))?: (.+) \(([^()]+)\)$)");
const std::regex kFigures(R"( \d+/\d+)");
// A line of a counts answer: "Rex: 1/2"; the total's line has the same shape.
const std::regex kCount(R"(^(.+): (\d+)/(\d+)$)");

std::string KindName(const json& names, const std::string& path) {
  if (const auto it = names.find(path); it != names.end() && it->is_string())
    return it->get<std::string>();
  std::string name = path;
  if (name.ends_with('\'')) name.pop_back();
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

// An RCON command's answer; its events are no part of the run, and a failure answers nothing.
std::string AskQuietly(Server& server, const std::string& command) {
  auto& events = server.events();
  const std::size_t from = events.all().size();
  struct Quiet {
    EventLog& events;
    EventLog::Listener listener;
    std::size_t from;
    ~Quiet() {
      events.EraseFrom(from);
      events.SetListener(std::move(listener));
    }
  } quiet{events, events.SetListener(nullptr), from};
  std::string answer;
  try {
    for (const auto& reply : server.Rcon(command, 0)) answer += reply.text;
  } catch (const std::exception&) {
    answer.clear();
  }
  return answer;
}

}  // namespace

std::string Table(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i)
      line += i + 1 == row.size() ? row[i] : fmt::format("{:<{}}  ", row[i], widths[i]);
    while (line.ends_with(' ')) line.pop_back();
    text += line + "\n";
  }
  return text;
}

void RunSummary::Observe(const json& event) {
  if (event.value("event", std::string()) != "log") return;
  std::smatch match;
  const std::string text = event.value("text", std::string());
  if (!std::regex_match(text, match, kRefusal)) return;
  ++refusals_[{match[1], match[2], match[3], std::regex_replace(match[4].str(), kFigures, "")}];
}

std::string RunSummary::Refusals(const json& names) const {
  if (refusals_.empty()) return "refusals: none\n";
  std::vector<std::vector<std::string>> rows = {{"road", "team", "kind", "reason", "times"}};
  for (const auto& [key, times] : refusals_) {
    const auto& [road, team, kind, reason] = key;
    const std::string path = kind.starts_with("Blueprint'") ? kind : "";
    rows.push_back(
        {road, team, path.empty() ? kind : KindName(names, path), reason, std::to_string(times)});
  }
  return "refusals:\n" + Table(rows);
}

std::string RunSummary::Counts(Server& server, const json& names) {
  if (!server.plugin_loaded()) return "";
  std::vector<std::vector<std::string>> rows = {{"team", "kind", "counted", "limit", "truth", ""}};
  bool differs = false;
  for (const auto& [team, kinds] : server.game().Truth()) {
    std::map<std::string, int> truth;  // by display name; the total under ""
    for (const auto& [path, count] : kinds) {
      truth[KindName(names, path)] += count;
      truth[""] += count;
    }
    const std::string answer = AskQuietly(server, "tw.counts " + std::to_string(team));

    std::vector<std::string> lines;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
      end = answer.find('\n', start);
      lines.push_back(answer.substr(start, end == std::string::npos ? end : end - start));
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::smatch match;
      if (!std::regex_match(lines[i], match, kCount)) continue;
      // The last figures line is the team's total.
      const bool total = std::none_of(lines.begin() + i + 1, lines.end(),
                                      [](const auto& l) { return std::regex_match(l, kCount); });
      const std::string kind = total ? "" : match[1].str();
      const int counted = std::stoi(match[2]);
      const int seen = truth.contains(kind) ? truth[kind] : 0;
      if (counted == 0 && seen == 0 && !total) continue;
      const bool differ = counted != seen;
      differs |= differ;
      rows.push_back({std::to_string(team), match[1].str(), match[2].str(), match[3].str(),
                      std::to_string(seen), differ ? "<- differs" : ""});
    }
  }
  if (rows.size() == 1) return "counts: no team owns creatures\n";
  return std::string("counts against limits") + (differs ? " (some differ from truth)" : "") +
         ":\n" + Table(rows);
}

}  // namespace sim::tool
