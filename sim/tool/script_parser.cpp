#include "sim/tool/script_parser.h"

#include <algorithm>

#include "base/spelling.h"
#include "sim/game/game.h"
#include "sim/tool/script_grammar.h"
#include "sim/tool/script_tokens.h"

namespace sim::tool {
namespace {

// In the order of Thing.
const char* ThingWord(Thing thing) {
  static constexpr const char* kWords[] = {"player", "dino", "structure", "item", "actor"};
  return kWords[static_cast<int>(thing)];
}

// "; did you mean X?" when a candidate is close to `word`, else nothing.
std::string Suggestion(std::string_view word, const std::vector<std::string>& candidates,
                       std::string_view suffix = "") {
  const std::string nearest = NearestName(word, candidates);
  return nearest.empty() ? "" : "; did you mean " + nearest + std::string(suffix) + "?";
}

std::string Exists(Thing thing, std::string_view shown) {
  return std::string(thing == Thing::kItem || thing == Thing::kActor ? "an " : "a ") +
         ThingWord(thing) + " named " + std::string(shown) + " already exists";
}

bool IsPath(std::string_view text) {
  std::string package, object;
  return SplitObjectPath(text, package, object);
}

bool IsName(std::string_view text) {
  if (text.empty() || text == "none") return false;
  for (char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string Statement::Option(std::string_view key, std::string fallback) const {
  const auto it = options.find(key);
  return it == options.end() ? fallback : it->second;
}

void ScriptParser::Declare(Thing thing, std::string name) { names_[thing].insert(std::move(name)); }

bool ScriptParser::Knows(Thing thing, std::string_view name) const {
  const auto it = names_.find(thing);
  return it != names_.end() && it->second.contains(name);
}

std::vector<std::string> ScriptParser::Names(Thing thing) const {
  const auto it = names_.find(thing);
  return it == names_.end() ? std::vector<std::string>()
                            : std::vector<std::string>(it->second.begin(), it->second.end());
}

namespace {

// A blueprint path as written, or the path of the creature or item `text` names in the rule's
// list; empty with `error` set when it is neither.
std::string PathOf(const Placeholder& rule, const std::string& text, std::string& error) {
  if (IsPath(text)) return text;
  if (text.empty() || rule.known == nullptr) {
    error = "\"" + text + "\" is no path like /Game/Dir/Name.Name";
    return "";
  }
  const std::vector<GameName>* known = rule.known();
  return FindGameName(text, *known, known == &KnownItems() ? "item" : "creature", error);
}

// Checks one value against its placeholder; empty when it is good. A creature's or item's name
// becomes its path.
std::string CheckValue(const ScriptParser& parser, const Verb& verb, std::string_view key,
                       std::string_view placeholder, std::string& value) {
  const std::string shown = "\"" + std::string(value) + "\"";
  const Placeholder* rule = FindPlaceholder(key, placeholder);
  switch (rule == nullptr ? Value::kText : rule->value) {
    case Value::kName: {
      if (!IsName(value)) return "bad name " + shown + " (letters, digits, _ - . only)";
      const Thing thing = verb.makes.value_or(Thing::kActor);
      return parser.Knows(thing, value) ? Exists(thing, shown) : "";
    }
    case Value::kThing:
      if (parser.Knows(rule->thing, value)) return "";
      return std::string("no ") + ThingWord(rule->thing) + " " + shown +
             Suggestion(value, parser.Names(rule->thing));
    case Value::kTarget: {
      if (value == "none" || parser.Knows(Thing::kDino, value) ||
          parser.Knows(Thing::kStructure, value))
        return "";
      std::vector<std::string> names = parser.Names(Thing::kDino);
      for (std::string& name : parser.Names(Thing::kStructure)) names.push_back(std::move(name));
      return "no dino or structure " + shown + Suggestion(value, names);
    }
    case Value::kPath: {
      std::string error;
      value = PathOf(*rule, value, error);
      return error;
    }
    case Value::kPaths: {
      std::string paths, error;
      for (const std::string& part : Split(value, ',')) {
        const std::string path = PathOf(*rule, part, error);
        if (!error.empty()) return error;
        paths += (paths.empty() ? "" : ",") + path;
      }
      value = paths;
      return "";
    }
    case Value::kVector: {
      float x, y, z;
      return ParseVector(value, x, y, z) ? "" : shown + " is no location X,Y,Z";
    }
    case Value::kInt: {
      int32_t number;
      return ParseInt(value, number) ? "" : shown + " is no whole number";
    }
    case Value::kSteamId: {
      uint64_t steam;
      return ParseUint64(value, steam) ? "" : shown + " is no Steam id";
    }
    case Value::kByte: {
      int32_t number;
      if (!ParseInt(value, number)) return shown + " is no whole number";
      return number < 0 || number > 255 ? shown + " is not within 0 to 255" : "";
    }
    case Value::kCount: {
      int32_t number;
      if (!ParseInt(value, number)) return shown + " is no whole number";
      return number < 1 || number > kMostMade
                 ? shown + " is not within 1 to " + std::to_string(kMostMade)
                 : "";
    }
    case Value::kVerb:
      return FindVerb(value) != nullptr ? "" : "no line " + shown + Suggestion(value, VerbNames());
    case Value::kText:
    case Value::kRest:
      return "";
  }
  return "";
}

bool TakesRestOfLine(std::string_view placeholder) {
  const Placeholder* rule = FindPlaceholder("", placeholder);
  return rule != nullptr && rule->value == Value::kRest;
}

}  // namespace

const Verb* ScriptParser::VerbOf(std::string_view line) {
  std::string error;
  const std::vector<Token> tokens = Tokenize(line, error);
  if (tokens.empty()) return nullptr;
  const std::string word = Unquote(tokens[0].raw);
  // "@MAP LINE" is the @MAP line, as Parse reads it.
  return FindVerb(word.size() > 1 && word.front() == '@' ? std::string("@MAP") : word);
}

Parsed ScriptParser::Parse(std::string_view line) {
  std::string error;
  const std::vector<Token> tokens = Tokenize(line, error);
  if (!error.empty()) return {std::nullopt, error};
  if (tokens.empty()) return {};

  std::string verb_word = Unquote(tokens[0].raw);
  // "@MAP LINE": the map's name is written onto the verb.
  std::string map;
  if (verb_word.size() > 1 && verb_word.front() == '@') {
    map = verb_word.substr(1);
    if (!IsName(map))
      return {std::nullopt, "bad map name \"" + map + "\" (letters, digits, _ - . only)"};
    verb_word = "@MAP";
  }
  const auto found = Grammars().find(verb_word);
  if (found == Grammars().end())
    return {std::nullopt,
            "unknown line \"" + verb_word + "\"" + Suggestion(verb_word, VerbNames())};
  const Grammar& grammar = found->second;
  const Verb& verb = *grammar.verb;
  const std::string usage = "; usage: " + verb.usage;

  Statement statement;
  statement.verb = &verb;
  std::size_t slot = 0;
  if (!map.empty()) statement.args.push_back(map);
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (slot < grammar.slots.size() && TakesRestOfLine(grammar.slots[slot].placeholder)) {
      statement.args.push_back(RestOfLine(token));
      ++slot;
      break;
    }
    const std::size_t eq = token.raw.find('=');
    if (eq != std::string::npos && IsLower(token.raw.substr(0, eq)) && !grammar.options.empty()) {
      const std::string key = token.raw.substr(0, eq);
      std::string value = Unquote(token.raw.substr(eq + 1));
      const std::string* placeholder = grammar.OptionPlaceholder(key);
      if (placeholder == nullptr) {
        return {std::nullopt,
                "unknown option " + key + "=" + Suggestion(key, grammar.OptionKeys(), "=") + usage};
      }
      if (statement.options.contains(key)) return {std::nullopt, key + "= given twice"};
      if (std::string bad = CheckValue(*this, verb, key, *placeholder, value); !bad.empty())
        return {std::nullopt, key + "=: " + bad};
      statement.options.emplace(key, std::move(value));
      continue;
    }
    std::string value = Unquote(token.raw);
    const bool slots_done = slot >= grammar.slots.size() || grammar.slots[slot].optional;
    if (slots_done && grammar.flags.contains(value)) {
      statement.flags.insert(value);
      continue;
    }
    if (slot >= grammar.slots.size()) return {std::nullopt, "unexpected \"" + value + "\"" + usage};
    if (std::string bad = CheckValue(*this, verb, "", grammar.slots[slot].placeholder, value);
        !bad.empty())
      return {std::nullopt, bad};
    statement.args.push_back(std::move(value));
    ++slot;
  }
  if (slot < grammar.slots.size() && !grammar.slots[slot].optional)
    return {std::nullopt, "missing " + grammar.slots[slot].placeholder + usage};
  for (const auto& option : grammar.options) {
    int given = 0;
    std::string wanted;
    for (const auto& [key, placeholder] : option.alternatives) {
      given += statement.options.contains(key) ? 1 : 0;
      wanted += (wanted.empty() ? "" : " or ") + key + "=" + placeholder;
    }
    if (given == 0 && !option.optional) return {std::nullopt, "missing " + wanted + usage};
    if (given > 1) return {std::nullopt, "give only one of " + wanted};
  }

  if (verb.makes) {
    // With count=N the line makes NAME1 ... NAMEN rather than NAME.
    const std::string& name = statement.args.at(0);
    int32_t count = 0;
    if (!ParseInt(statement.Option("count"), count)) {
      Declare(*verb.makes, name);
    } else {
      for (int32_t i = 1; i <= count; ++i) {
        const std::string made = name + std::to_string(i);
        if (Knows(*verb.makes, made))
          return {std::nullopt, Exists(*verb.makes, "\"" + made + "\"")};
      }
      for (int32_t i = 1; i <= count; ++i) Declare(*verb.makes, name + std::to_string(i));
    }
  }
  return {std::move(statement), ""};
}

std::vector<std::string> ScriptParser::Candidates(const std::vector<std::string>& words,
                                                  std::string_view partial) const {
  if (words.empty()) return VerbNames();
  const auto found = Grammars().find(words[0]);
  if (found == Grammars().end()) return {};
  const Grammar& grammar = found->second;
  // The values one placeholder may take, each written after `prefix`.
  const auto values = [this](std::string_view key, std::string_view placeholder,
                             const std::string& prefix) {
    std::vector<std::string> out;
    const Placeholder* rule = FindPlaceholder(key, placeholder);
    if (rule == nullptr) return out;
    const auto add = [&](const std::vector<std::string>& names) {
      for (const std::string& name : names) out.push_back(prefix + name);
    };
    if (rule->value == Value::kThing) add(Names(rule->thing));
    if (rule->value == Value::kTarget) {
      add(Names(Thing::kDino));
      add(Names(Thing::kStructure));
      add({"none"});
    }
    if (rule->value == Value::kVerb) add(VerbNames());
    if (rule->known != nullptr) {
      for (const GameName& known : *rule->known()) out.push_back(prefix + known.path);
    }
    return out;
  };
  if (const std::size_t eq = partial.find('='); eq != std::string_view::npos) {
    const std::string key(partial.substr(0, eq));
    const std::string* placeholder = grammar.OptionPlaceholder(key);
    return placeholder == nullptr ? std::vector<std::string>()
                                  : values(key, *placeholder, key + "=");
  }
  std::size_t slot = 0;
  std::set<std::string, std::less<>> given;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::size_t eq = words[i].find('=');
    if (eq != std::string::npos) {
      given.insert(words[i].substr(0, eq));
    } else if (!grammar.flags.contains(words[i])) {
      ++slot;
    }
  }
  std::vector<std::string> out;
  if (slot < grammar.slots.size()) out = values("", grammar.slots[slot].placeholder, "");
  if (slot >= grammar.slots.size() || grammar.slots[slot].optional) {
    for (const std::string& flag : grammar.flags) out.push_back(flag);
  }
  for (const std::string& key : grammar.OptionKeys()) {
    if (!given.contains(key)) out.push_back(key + "=");
  }
  return out;
}

}  // namespace sim::tool
