#include "sim/tool/script_grammar.h"

#include <algorithm>

#include "sim/tool/script_tokens.h"

namespace sim::tool {
namespace {

const std::vector<GameName>* Creatures() { return &KnownCreatures(); }
const std::vector<GameName>* Items() { return &KnownItems(); }

// Every placeholder the usage texts use, one row each; a later verb reuses these.
const Placeholder kPlaceholders[] = {
    {"NAME", Value::kName},
    {"PLAYER", Value::kThing, Thing::kPlayer},
    {"INVITER", Value::kThing, Thing::kPlayer},
    {"DINO", Value::kThing, Thing::kDino},
    {"ITEM", Value::kThing, Thing::kItem},
    {"POD", Value::kThing, Thing::kItem},
    {"STRUCTURE", Value::kThing, Thing::kStructure},
    {"DINO|STRUCTURE|none", Value::kTarget},
    {"KIND", Value::kPath, Thing::kPlayer, &Creatures},
    {"ITEMPATH", Value::kPath, Thing::kPlayer, &Items},
    {"KIND[,KIND...]", Value::kPaths, Thing::kPlayer, &Creatures},
    {"X,Y,Z", Value::kVector},
    {"N", Value::kInt},
    {"INDEX", Value::kInt},
    {"TEAM", Value::kInt},
    {"TRIBEID", Value::kInt},
    {"SECONDS", Value::kInt},
    {"steam=N", Value::kSteamId},
    {"groups=G[,G...]", Value::kText},
    {"type=N", Value::kByte},
    {"consumable=N", Value::kByte},
    {"count=N", Value::kCount},
    {"VERB", Value::kVerb},
    {"FILE", Value::kText},
    {"COMMAND", Value::kText},
    {"\"...\"", Value::kText},
    {"TEXT", Value::kRest},
    {"PATH", Value::kRest},
    {"LINE", Value::kRest},
};

}  // namespace

const Placeholder* FindPlaceholder(std::string_view key, std::string_view placeholder) {
  const Placeholder* general = nullptr;
  for (const Placeholder& p : kPlaceholders) {
    if (!key.empty() && p.name.size() == key.size() + 1 + placeholder.size() &&
        p.name.starts_with(key) && p.name[key.size()] == '=' && p.name.ends_with(placeholder))
      return &p;
    if (p.name == placeholder) general = &p;
  }
  return general;
}

bool IsLower(std::string_view word) {
  for (char c : word) {
    if (!(c >= 'a' && c <= 'z') && c != '_') return false;
  }
  return !word.empty();
}

Grammar MakeGrammar(const Verb& verb) {
  Grammar grammar;
  grammar.verb = &verb;
  for (std::string word : Split(std::string_view(verb.usage).substr(verb.name().size()), ' ')) {
    if (word.empty()) continue;
    const bool optional = word.front() == '[' && word.back() == ']';
    if (optional) word = word.substr(1, word.size() - 2);
    if (word.find('=') != std::string::npos) {
      Grammar::Option option{{}, optional};
      for (const std::string& alternative : Split(word, '|')) {
        const std::size_t eq = alternative.find('=');
        option.alternatives.emplace_back(alternative.substr(0, eq), alternative.substr(eq + 1));
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
    for (const Verb& verb : Verbs()) made.emplace(verb.name(), MakeGrammar(verb));
    return made;
  }();
  return grammars;
}

std::vector<std::string> VerbNames() {
  std::vector<std::string> names;
  for (const Verb& verb : Verbs()) names.emplace_back(verb.name());
  return names;
}

std::string UnknownPlaceholder() {
  for (const auto& [name, grammar] : Grammars()) {
    for (const auto& slot : grammar.slots) {
      if (FindPlaceholder("", slot.placeholder) == nullptr) return slot.placeholder;
    }
    for (const auto& option : grammar.options) {
      for (const auto& [key, placeholder] : option.alternatives) {
        if (FindPlaceholder(key, placeholder) == nullptr) return key + "=" + placeholder;
      }
    }
  }
  return "";
}

}  // namespace sim::tool
