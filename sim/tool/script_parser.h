#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sim/tool/script_tokens.h"

// The stand-in server's script language: one statement per line, `#` starts a comment. A line is
// either a world line (it sets the scene, no hook runs) or an action (it runs game functions
// through the hook table). Every form is described by its usage text, such as
// "tame PLAYER DINO", and the parser reads lines against these texts.
namespace sim::tool {

// The kinds of named things; a name is unique within its kind.
enum class Thing { kPlayer, kDino, kStructure, kItem, kActor };

// One form of line: its usage text, as shown to users, and whether it is an action.
struct Form {
  std::string_view usage;
  bool action;
};
// Every form, world lines first, in the order the documentation lists them.
const std::vector<Form>& Forms();

// A parsed line, its values checked: numbers are in range, paths have the shape of a path, and
// every name it refers to exists.
struct Statement {
  std::string_view verb;  // the first word, such as "tame"
  bool action = false;
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
// to things an earlier line made. A line with an error defines nothing.
class ScriptParser {
 public:
  Parsed Parse(std::string_view line);
  // Whether the line's first word names an action, whatever else is wrong with it.
  static bool StartsAction(std::string_view line);

  // A thing that entered the world some other way, such as a creature the game spawned.
  void Declare(Thing thing, std::string name);
  bool Knows(Thing thing, std::string_view name) const;

 private:
  std::map<Thing, std::set<std::string, std::less<>>> names_;
};

}  // namespace sim::tool
