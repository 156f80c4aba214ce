#include "sim/tool/script_parser.h"

#include <limits>

#include "sim/game/game.h"
#include "sim/tool/script_tokens.h"

namespace sim::tool {
namespace {

// One form's usage text taken apart: positional slots, key=value options and bare flags.
struct Grammar {
  struct Slot {
    std::string placeholder;  // such as "PLAYER" or "DINO|STRUCTURE|none"
    bool optional = false;
  };
  struct Option {
    std::vector<std::pair<std::string, std::string>> alternatives;  // key, placeholder
    bool optional = false;
  };
  const Form* form = nullptr;
  std::string_view verb;
  std::vector<Slot> slots;
  std::vector<Option> options;
  std::set<std::string, std::less<>> flags;
};

bool IsLower(std::string_view word) {
  for (char c : word) {
    if (!(c >= 'a' && c <= 'z') && c != '_') return false;
  }
  return !word.empty();
}

Grammar MakeGrammar(const Form& form) {
  Grammar grammar;
  grammar.form = &form;
  const std::string_view usage = form.usage;
  grammar.verb = usage.substr(0, usage.find(' '));
  std::vector<std::string> words;
  for (std::size_t at = grammar.verb.size(); at < usage.size();) {
    const std::size_t end = std::min(usage.find(' ', at + 1), usage.size());
    if (end > at + 1) words.emplace_back(usage.substr(at + 1, end - at - 1));
    at = end;
  }
  for (std::string word : words) {
    const bool optional = word.front() == '[' && word.back() == ']';
    if (optional) word = word.substr(1, word.size() - 2);
    if (word.find('=') != std::string::npos) {
      Grammar::Option option{{}, optional};
      for (std::size_t at = 0; at <= word.size();) {
        std::size_t bar = word.find('|', at);
        if (bar == std::string::npos) bar = word.size();
        const std::string alternative = word.substr(at, bar - at);
        const std::size_t eq = alternative.find('=');
        option.alternatives.emplace_back(alternative.substr(0, eq), alternative.substr(eq + 1));
        at = bar + 1;
      }
      grammar.options.push_back(std::move(option));
    } else if (IsLower(word)) {
      grammar.flags.insert(word);
    } else {
      grammar.slots.push_back({word, optional});
    }
  }
  return grammar;
}

const std::map<std::string_view, Grammar>& Grammars() {
  static const auto grammars = [] {
    std::map<std::string_view, Grammar> made;
    for (const Form& form : Forms()) {
      Grammar grammar = MakeGrammar(form);
      made.emplace(grammar.verb, std::move(grammar));
    }
    return made;
  }();
  return grammars;
}

// The kind of thing a world line makes, by its verb.
std::optional<Thing> ThingMadeBy(std::string_view verb) {
  if (verb == "player") return Thing::kPlayer;
  if (verb == "dino") return Thing::kDino;
  if (verb == "structure") return Thing::kStructure;
  if (verb == "cryopod" || verb == "soultrap" || verb == "item") return Thing::kItem;
  if (verb == "actor") return Thing::kActor;
  return std::nullopt;
}

// The kind of thing a placeholder refers to.
std::optional<Thing> ThingNamedBy(std::string_view placeholder) {
  if (placeholder == "PLAYER" || placeholder == "INVITER") return Thing::kPlayer;
  if (placeholder == "DINO") return Thing::kDino;
  if (placeholder == "ITEM") return Thing::kItem;
  if (placeholder == "STRUCTURE") return Thing::kStructure;
  return std::nullopt;
}

const char* ThingWord(Thing thing) {
  switch (thing) {
    case Thing::kPlayer:
      return "player";
    case Thing::kDino:
      return "dino";
    case Thing::kStructure:
      return "structure";
    case Thing::kItem:
      return "item";
    case Thing::kActor:
      return "actor";
  }
  return "thing";
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

namespace {

// Checks one value against its placeholder; the key tells numbers of other widths apart.
std::string CheckValue(const ScriptParser& parser, std::string_view verb, std::string_view key,
                       std::string_view placeholder, std::string_view value) {
  const std::string shown = "\"" + std::string(value) + "\"";
  if (placeholder == "NAME") {
    if (!IsName(value)) return "bad name " + shown + " (letters, digits, _ - . only)";
    const Thing thing = *ThingMadeBy(verb);
    if (parser.Knows(thing, value))
      return std::string(thing == Thing::kItem || thing == Thing::kActor ? "an " : "a ") +
             ThingWord(thing) + " named " + shown + " already exists";
    return "";
  }
  if (placeholder == "DINO|STRUCTURE|none") {
    if (value == "none" || parser.Knows(Thing::kDino, value) ||
        parser.Knows(Thing::kStructure, value)) {
      return "";
    }
    return "no dino or structure " + shown;
  }
  if (const auto thing = ThingNamedBy(placeholder)) {
    if (!parser.Knows(*thing, value)) return std::string("no ") + ThingWord(*thing) + " " + shown;
    return "";
  }
  if (placeholder == "KIND" || placeholder == "ITEMPATH") {
    if (!IsPath(value)) return shown + " is no path like /Game/Dir/Name.Name";
    return "";
  }
  if (placeholder == "KIND[,KIND...]") {
    for (std::size_t at = 0; at <= value.size();) {
      const std::size_t comma = std::min(value.find(',', at), value.size());
      if (const std::string error =
              CheckValue(parser, verb, key, "KIND", value.substr(at, comma - at));
          !error.empty())
        return error;
      at = comma + 1;
    }
    return "";
  }
  if (placeholder == "X,Y,Z") {
    float x, y, z;
    if (!ParseVector(value, x, y, z)) return shown + " is no location X,Y,Z";
    return "";
  }
  if (placeholder == "N" || placeholder == "INDEX" || placeholder == "TEAM" ||
      placeholder == "TRIBEID") {
    if (key == "steam") {
      uint64_t steam;
      if (!ParseUint64(value, steam)) return shown + " is no Steam id";
      return "";
    }
    int32_t number;
    if (!ParseInt(value, number)) return shown + " is no whole number";
    if ((key == "type" || key == "consumable") && (number < 0 || number > 255))
      return shown + " is not within 0 to 255";
    return "";
  }
  return "";  // FILE, COMMAND, TEXT, PATH and quoted texts take anything
}

}  // namespace

bool ScriptParser::StartsAction(std::string_view line) {
  std::string error;
  const std::vector<Token> tokens = Tokenize(line, error);
  if (tokens.empty()) return false;
  const auto found = Grammars().find(Unquote(tokens[0].raw));
  return found != Grammars().end() && found->second.form->action;
}

Parsed ScriptParser::Parse(std::string_view line) {
  std::string error;
  const std::vector<Token> tokens = Tokenize(line, error);
  if (!error.empty()) return {std::nullopt, error};
  if (tokens.empty()) return {};

  const std::string verb_word = Unquote(tokens[0].raw);
  const auto found = Grammars().find(verb_word);
  if (found == Grammars().end()) return {std::nullopt, "unknown line \"" + verb_word + "\""};
  const Grammar& grammar = found->second;
  const std::string usage = "; usage: " + std::string(grammar.form->usage);

  Statement statement;
  statement.verb = grammar.verb;
  statement.action = grammar.form->action;
  std::size_t slot = 0;
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (slot < grammar.slots.size() &&
        (grammar.slots[slot].placeholder == "TEXT" || grammar.slots[slot].placeholder == "PATH")) {
      statement.args.push_back(RestOfLine(token));
      ++slot;
      break;
    }
    const std::size_t eq = token.raw.find('=');
    if (eq != std::string::npos && IsLower(token.raw.substr(0, eq)) && !grammar.options.empty()) {
      const std::string key = token.raw.substr(0, eq);
      const std::string value = Unquote(token.raw.substr(eq + 1));
      const std::string* placeholder = nullptr;
      for (const auto& option : grammar.options) {
        for (const auto& [k, p] : option.alternatives) {
          if (k == key) placeholder = &p;
        }
      }
      if (placeholder == nullptr) return {std::nullopt, "unknown option " + key + "=" + usage};
      if (statement.options.contains(key)) return {std::nullopt, key + "= given twice"};
      if (std::string bad = CheckValue(*this, grammar.verb, key, *placeholder, value); !bad.empty())
        return {std::nullopt, key + "=: " + bad};
      statement.options.emplace(key, value);
      continue;
    }
    const std::string value = Unquote(token.raw);
    const bool slots_done = slot >= grammar.slots.size() || grammar.slots[slot].optional;
    if (slots_done && grammar.flags.contains(value)) {
      statement.flags.insert(value);
      continue;
    }
    if (slot >= grammar.slots.size()) return {std::nullopt, "unexpected \"" + value + "\"" + usage};
    if (std::string bad =
            CheckValue(*this, grammar.verb, "", grammar.slots[slot].placeholder, value);
        !bad.empty())
      return {std::nullopt, bad};
    statement.args.push_back(value);
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

  if (const auto thing = ThingMadeBy(grammar.verb)) Declare(*thing, statement.args.at(0));
  return {std::move(statement), ""};
}

}  // namespace sim::tool
