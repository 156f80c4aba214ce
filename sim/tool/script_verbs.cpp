// The table of script verbs, made of each kind's rows. The usage texts are the grammar: the parser
// reads them, and the tool's reference (docs/tamewarden-sim.md), --help and the prompt's help show
// them as they are.
#include "sim/tool/script_verbs.h"

#include <algorithm>
#include <iterator>

namespace sim::tool {

Verb WorldRow(std::string usage, std::string summary, std::string example, VerbFunction run,
              std::optional<Thing> makes) {
  return {
      std::move(usage), VerbKind::kWorld, std::move(summary), "", std::move(example), run, makes,
      BootRule::kNone};
}

Verb ActionRow(std::string usage, std::string functions, std::string example, VerbFunction run,
               std::string summary, BootRule boot) {
  Verb verb{std::move(usage),     VerbKind::kAction,  std::move(summary),
            std::move(functions), std::move(example), run};
  verb.boot = boot;
  verb.needs_scene = true;
  return verb;
}

Verb ShowRow(std::string usage, std::string summary, std::string example, VerbFunction run,
             bool needs_scene) {
  return {std::move(usage), VerbKind::kShow, std::move(summary), "", std::move(example), run,
          std::nullopt,     BootRule::kNone, needs_scene};
}

Verb ClusterRow(std::string usage, std::string summary, std::string example, VerbFunction run) {
  return {std::move(usage), VerbKind::kCluster, std::move(summary), "", std::move(example), run,
          std::nullopt,     BootRule::kNone};
}

const std::vector<Verb>& Verbs() {
  static const std::vector<Verb> verbs = [] {
    std::vector<Verb> all = WorldVerbs();
    std::ranges::move(ActionVerbs(), std::back_inserter(all));
    std::ranges::move(ShowVerbs(), std::back_inserter(all));
    std::ranges::move(ClusterVerbs(), std::back_inserter(all));
    return all;
  }();
  return verbs;
}

namespace {

std::string WithoutMarkdown(std::string text) {
  std::erase(text, '`');
  return text;
}

// A table cell: a `|` would end it.
std::string Cell(std::string_view text) {
  std::string cell;
  for (char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

// `text` wrapped at spaces to lines of at most `width` characters, each indented.
std::string Wrap(std::string_view text, std::size_t width, std::string_view indent) {
  std::string out, line;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t space = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, space - at);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += std::string(indent) + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + std::string(word);
    at = space + 1;
  }
  if (!line.empty()) out += std::string(indent) + line + "\n";
  return out;
}

constexpr const char* kHeadings[] = {
    "World lines (they set the scene; no hook runs):",
    "Actions (each runs game functions through the hook table):",
    "Lines that show (the game is not touched):",
    "Cluster lines (with --cluster; sync runs on a single server too):",
};
constexpr int kKinds = static_cast<int>(std::size(kHeadings));

}  // namespace

const Verb* FindVerb(std::string_view name) {
  const auto& verbs = Verbs();
  const auto it = std::find_if(verbs.begin(), verbs.end(),
                               [&](const Verb& verb) { return verb.name() == name; });
  return it == verbs.end() ? nullptr : &*it;
}

std::string VerbOverview() {
  std::string text;
  for (int kind = 0; kind < kKinds; ++kind) {
    text += kHeadings[kind];
    text += "\n";
    for (const Verb& verb : Verbs()) {
      if (static_cast<int>(verb.kind) == kind) text += "  " + verb.usage + "\n";
    }
  }
  return text + "Type help VERB (at the prompt or in a script) for what a line does.\n";
}

std::string VerbHelp(const Verb& verb) {
  std::string text = verb.usage + "\n";
  if (!verb.summary.empty()) text += Wrap(WithoutMarkdown(verb.summary), 90, "  ");
  if (!verb.functions.empty())
    text += Wrap("game functions: " + WithoutMarkdown(verb.functions), 90, "  ");
  return text + "  example: " + verb.example + "\n";
}

std::string VerbTablesMarkdown() {
  std::string text;
  for (int kind = 0; kind < kKinds; ++kind) {
    const bool actions = kind == static_cast<int>(VerbKind::kAction);
    text += actions ? "| Line | Game functions | Example |\n|---|---|---|\n"
                    : "| Line | Example |\n|---|---|\n";
    for (const Verb& verb : Verbs()) {
      if (static_cast<int>(verb.kind) != kind) continue;
      text += "| `" + Cell(verb.usage) + "`" + (verb.summary.empty() ? "" : ": ") +
              Cell(verb.summary) + " |";
      if (actions) text += " " + Cell(verb.functions) + " |";
      text += " `" + Cell(verb.example) + "` |\n";
    }
    text += "\n";
  }
  return text;
}

}  // namespace sim::tool
