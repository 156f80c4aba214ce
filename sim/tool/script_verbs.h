#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The script language's verbs, one row each: the usage text the parser reads as the grammar,
// what the line does, the game functions an action runs, an example, and the function that runs
// the line. The parser, --help, the prompt's `help` and the reference's tables
// (docs/tamewarden-sim.md) all come from this table, so a new verb costs one row and its function,
// side by side in the file of its kind.
namespace sim::tool {

struct ScriptContext;
struct Statement;

// The kinds of named things; a name is unique within its kind.
enum class Thing { kPlayer, kDino, kStructure, kItem, kActor };

enum class VerbKind {
  kWorld,    // sets the scene; no hook runs
  kAction,   // runs game functions through the hook table
  kShow,     // shows something (help, the world); the game is not touched
  kCluster,  // drives the maps of a cluster rehearsal (--cluster)
};

// How an action stands to the boot: the first action other than load, unload or start starts
// the server and loads the plug-in unless load or start came first.
enum class BootRule { kNeeds, kIsBoot, kNone };

// Runs a line; throws LineError when it cannot.
using VerbFunction = void (*)(ScriptContext&, const Statement&);

struct Verb {
  std::string usage;  // such as "tame PLAYER DINO"; the first word is the verb
  VerbKind kind;
  std::string summary;    // what the line does, as `help VERB` and the reference say it
  std::string functions;  // actions: the game functions they run, as the reference names them
  std::string example;    // a line as a script writes it
  VerbFunction run;
  std::optional<Thing> makes = std::nullopt;  // the kind of thing whose NAME it defines
  BootRule boot = BootRule::kNeeds;           // actions only
  // Whether the scene (the default world when the script defines none) must be set before the
  // line is read, since it may name what the scene has: every action, and `world`.
  bool needs_scene = false;
  std::string_view name() const { return std::string_view(usage).substr(0, usage.find(' ')); }
};

// A row of each kind.
Verb WorldRow(std::string usage, std::string summary, std::string example, VerbFunction run,
              std::optional<Thing> makes = std::nullopt);
Verb ActionRow(std::string usage, std::string functions, std::string example, VerbFunction run,
               std::string summary = "", BootRule boot = BootRule::kNeeds);
Verb ShowRow(std::string usage, std::string summary, std::string example, VerbFunction run,
             bool needs_scene);
Verb ClusterRow(std::string usage, std::string summary, std::string example, VerbFunction run);

// Every verb: world lines, then actions, then the lines that show, then the cluster's lines, in
// the reference's order.
const std::vector<Verb>& Verbs();
// Each kind's rows, defined beside their functions (script_world.cpp, script_actions.cpp,
// script_show.cpp).
std::vector<Verb> WorldVerbs();
std::vector<Verb> ActionVerbs();
std::vector<Verb> ShowVerbs();
std::vector<Verb> ClusterVerbs();  // script_cluster.cpp
// The verb named `name`, or null.
const Verb* FindVerb(std::string_view name);

// `help` without a verb and --help's script part: every usage line, grouped by kind.
std::string VerbOverview();
// `help VERB`: usage, what it does, the game functions and the example, without Markdown.
std::string VerbHelp(const Verb& verb);
// The reference's four tables of script lines, as Markdown rows under their headings.
std::string VerbTablesMarkdown();

}  // namespace sim::tool
