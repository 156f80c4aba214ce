#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/tool/game_data.h"
#include "sim/tool/script_verbs.h"

// The grammar the parser reads out of the verb table's usage texts: each verb's positional
// slots, key=value options and bare flags, and what each placeholder (PLAYER, KIND, N, ...)
// stands for. Within the tool only.
namespace sim::tool {

// The most things one line may make (`count=N`).
constexpr int32_t kMostMade = 100'000;

// What a placeholder of a usage text stands for, and so how its value is checked.
enum class Value {
  kName,    // a new thing's name
  kThing,   // the name of an existing thing of one kind
  kTarget,  // an existing creature or structure, or none
  kPath,    // a blueprint path
  kPaths,   // blueprint paths separated by commas
  kVector,  // X,Y,Z
  kInt,     // a 32-bit whole number
  kSteamId,
  kByte,   // 0 to 255
  kCount,  // how many things one line makes: 1 to kMostMade
  kVerb,
  kText,  // one word, anything
  kRest,  // the rest of the line, anything
};

struct Placeholder {
  std::string_view name;  // as the usage writes it; "key=NAME" for an option's own rule
  Value value;
  Thing thing = Thing::kPlayer;                       // kThing: the kind named
  const std::vector<GameName>* (*known)() = nullptr;  // kPath: real paths, for Tab completion
};

// The rule for a value: the option's own ("steam=N"), else the placeholder's; null if none.
const Placeholder* FindPlaceholder(std::string_view key, std::string_view placeholder);

// One verb's usage text taken apart: positional slots, key=value options and bare flags.
struct Grammar {
  struct Slot {
    std::string placeholder;  // such as "PLAYER" or "DINO|STRUCTURE|none"
    bool optional = false;
  };
  struct Option {
    std::vector<std::pair<std::string, std::string>> alternatives;  // key, placeholder
    bool optional = false;
  };
  const Verb* verb = nullptr;
  std::vector<Slot> slots;
  std::vector<Option> options;
  std::set<std::string, std::less<>> flags;

  // The placeholder of option `key`, or null when the verb has no such option.
  const std::string* OptionPlaceholder(std::string_view key) const {
    for (const auto& option : options) {
      for (const auto& [k, p] : option.alternatives) {
        if (k == key) return &p;
      }
    }
    return nullptr;
  }
  std::vector<std::string> OptionKeys() const {
    std::vector<std::string> keys;
    for (const auto& option : options) {
      for (const auto& alternative : option.alternatives) keys.push_back(alternative.first);
    }
    return keys;
  }
};

// Whether a word is lower case letters and _ only, as flags and option keys are.
bool IsLower(std::string_view word);
// Every verb's grammar, by verb.
const std::map<std::string_view, Grammar>& Grammars();
std::vector<std::string> VerbNames();

// Whether every placeholder of every verb's usage has a rule (a new verb with a new kind of
// value needs a row in the placeholder table too). Empty when all do; else the first without.
std::string UnknownPlaceholder();

}  // namespace sim::tool
