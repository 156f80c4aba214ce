#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sim/tool/script_tokens.h"
#include "sim/tool/script_verbs.h"

// The stand-in server's script language: one statement per line, `#` starts a comment. Every
// verb is described by its usage text in the verb table, such as "tame PLAYER DINO", and the
// parser reads lines against these texts.
namespace sim::tool {

// A parsed line, its values checked: numbers are in range, paths have the shape of a path, and
// every name it refers to exists.
struct Statement {
  const Verb* verb = nullptr;  // its row in the verb table
  // The positional values in usage order; an omitted optional one is absent. A TEXT or PATH
  // value is the rest of the line as written (without enclosing double quotes).
  std::vector<std::string> args;
  std::map<std::string, std::string, std::less<>> options;  // key=value, value unquoted
  std::set<std::string, std::less<>> flags;                 // bare words such as "admin"

  bool Has(std::string_view flag) const { return flags.contains(flag); }
  // The value of key=..., or `fallback` when the line has none.
  std::string Option(std::string_view key, std::string fallback = "") const;
};

struct Parsed {
  std::optional<Statement> statement;  // absent for a blank line, a comment or an error
  std::string error;                   // what is wrong with the line; empty when nothing
};

// Reads lines one at a time and keeps the names defined so far, so that a line may refer only
// to things an earlier line made. A line with an error defines nothing. A misspelled verb,
// option or name is answered with the closest one known ("did you mean ...?").
class ScriptParser {
 public:
  Parsed Parse(std::string_view line);
  // The verb the line's first word names, whatever else is wrong with it; null when none.
  static const Verb* VerbOf(std::string_view line);

  // A thing that entered the world some other way, such as a creature the game spawned.
  void Declare(Thing thing, std::string name);
  bool Knows(Thing thing, std::string_view name) const;
  // The names of one kind of thing, in order.
  std::vector<std::string> Names(Thing thing) const;

  // What may stand at the word being typed, for Tab completion: the verbs for the first word,
  // else the names, real game paths, flags and option keys ("key=") the verb's usage allows
  // there; after "key=" in `partial`, that option's values written as "key=VALUE". `words` are
  // the complete words before it. Not filtered by `partial`; may hold duplicates.
  std::vector<std::string> Candidates(const std::vector<std::string>& words,
                                      std::string_view partial) const;

 private:
  std::map<Thing, std::set<std::string, std::less<>>> names_;
};

}  // namespace sim::tool
