// How tamewarden-sim shows events: readable lines, and JSON with the kind first.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/framework/event_kinds.h"
#include "sim/tool/event_printer.h"

namespace {

using nlohmann::json;
using sim::tool::EventPrinter;

TEST(EventPrinter, DescribesEveryKindOfEvent) {
  struct Case {
    json event;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{{"event", "result"}, {"function", "F.G"}, {"called", false}, {"value", false}},
       "result F.G: game function skipped, returned false"},
      {{{"event", "result"}, {"function", "F.G"}, {"called", true}, {"value", "Rex_C_3"}},
       "result F.G: game function ran, returned Rex_C_3"},
      {{{"event", "result"}, {"function", "F.G"}, {"called", true}, {"value", nullptr}},
       "result F.G: game function ran, returned null"},
      {{{"event", "result"}, {"function", "F.G"}, {"called", true}},
       "result F.G: game function ran"},
      {{{"event", "result"}, {"function", "F.G"}, {"called", true}, {"refused", true}},
       "result F.G: game function ran (refused)"},
      {{{"event", "rcon"}, {"id", 2}, {"type", 0}, {"text", "Rex: 1/2\nAll creatures: 3/20\n"}},
       "rcon answer to request 2:\n  Rex: 1/2\n  All creatures: 3/20"},
      {{{"event", "notification"},
        {"player", "bob"},
        {"text", "Limit\nreached"},
        {"color", {1.0, 0.0, 0.0, 1.0}},
        {"scale", 1.2999999523162842},
        {"time", 6.0}},
       "notification to bob (colour 1,0,0,1, scale 1.3, 6 s):\n  Limit\n  reached"},
      {{{"event", "chat"}, {"player", "bob"}, {"sender", "Tamewarden"}, {"text", "Rex: 1/2"}},
       R"(chat to bob from Tamewarden: "Rex: 1/2")"},
      {{{"event", "server_message"},
        {"player", "bob"},
        {"text", "Reloaded config"},
        {"color", {0, 1, 0, 1}}},
       R"(server message to bob: "Reloaded config" (colour 0,1,0,1))"},
      {{{"event", "rcon"}, {"id", 4}, {"type", 0}, {"text", "ok"}},
       R"(rcon answer to request 4: "ok")"},
      {{{"event", "unequip"}, {"player", "bob"}, {"item", "pod"}}, "unequip: bob puts away pod"},
      {{{"event", "unequip"}, {"player", nullptr}, {"item", "pod"}},
       "unequip: (nobody) puts away pod"},
      {{{"event", "log"}, {"level", "info"}, {"logger", "Tamewarden"}, {"text", "Reloaded Config"}},
       "log info [Tamewarden] Reloaded Config"},
      {{{"event", "truth"},
        {"team", 200001},
        {"total", 3},
        {"kinds", {{"Blueprint'/Game/A/Rex.Rex'", 2}, {"Blueprint'/Game/B/Dodo.Dodo'", 1}}}},
       "truth: team 200001 owns 3 living tamed (Rex 2, Dodo 1)"},
      // The config's display name where the kind has one.
      {{{"event", "truth"},
        {"team", 7},
        {"total", 2},
        {"kinds", {{"Blueprint'/Game/A/Rex.Rex'", 1}, {"Blueprint'/Game/B/Dodo.Dodo'", 1}}},
        {"names", {{"Blueprint'/Game/A/Rex.Rex'", "Tyrant"}}}},
       "truth: team 7 owns 2 living tamed (Tyrant 1, Dodo 1)"},
      {{{"event", "truth"}, {"team", 5}, {"total", 0}, {"kinds", json::object()}},
       "truth: team 5 owns 0 living tamed"},
      {{{"event", "load"}, {"ok", true}, {"error", nullptr}}, "plug-in loaded"},
      {{{"event", "load"},
        {"ok", true},
        {"registered", {"RegisterChatCommand /limits", "InstallHook A.B", "InstallHook C.D"}}},
       "plug-in loaded: 1 command, 2 hooks"},
      {{{"event", "rcon_ban"}, {"address", "127.0.0.1"}, {"failures", 5}, {"seconds", 60}},
       "rcon: 127.0.0.1 banned for 60 s after 5 failed logins"},
      {{{"event", "rcon_ban"}, {"address", "127.0.0.1"}, {"failures", 0}, {"seconds", 0}},
       "rcon: the ban of 127.0.0.1 has ended"},
      {{{"event", "help"}, {"text", "tame PLAYER DINO\n  example: tame alice wild_rex1\n"}},
       "tame PLAYER DINO\n  example: tame alice wild_rex1"},
      {{{"event", "world"},
        {"loaded", true},
        {"players",
         {{{"name", "ann"}, {"id", 1}, {"tribe", 9}, {"team", 9}, {"groups", {"Admins"}}},
          {{"name", "ben"},
           {"id", 2},
           {"tribe", 0},
           {"team", 2},
           {"groups", json::array()},
           {"dead", true}}}},
        {"dinos",
         {{{"name", "rex"}, {"kind", "Blueprint'/Game/A/Rex.Rex'"}, {"team", 9}, {"at", {1, 2, 3}}},
          {{"name", "dodo"},
           {"kind", "Blueprint'/Game/B/Dodo.Dodo'"},
           {"team", 0},
           {"dead", true},
           {"destroyed", true}}}},
        {"structures", {{{"name", "hut"}, {"at", {5, 0, 0}}}}},
        {"items",
         {{{"name", "pod"}, {"kind", "/Game/C/Pod.Pod"}, {"holds", {"Blueprint'/Game/A/Rex.Rex'"}}},
          {{"name", "trap"}, {"kind", "/Game/C/Trap.Trap"}, {"holds", json::array()}}}},
        {"names", {{"Blueprint'/Game/A/Rex.Rex'", "Tyrant"}}}},
       "plug-in loaded\nplayers (2):\n  ann: id 1, tribe 9, team 9, groups Admins\n"
       "  ben: id 2, team 2, dead\ndinos (2):\n  rex: Tyrant, team 9, at 1,2,3\n"
       "  dodo: Dodo, wild, dead, destroyed\nstructures (1):\n  hut: at 5,0,0\nitems (2):\n"
       "  pod: Pod, holds Tyrant\n  trap: Trap, empty"},
      {{{"event", "load"}, {"ok", false}, {"error", "Can't open config.json"}},
       R"(plug-in failed to load: "Can't open config.json")"},
      {{{"event", "unload"}}, "plug-in unloaded"},
      {{{"event", "error"}, {"line", 12}, {"text", "no player \"zed\""}},
       R"(error on line 12: no player "zed")"},
      {{{"event", "crash"}, {"function", "F.G"}, {"text", "boom"}}, R"(CRASH in "F.G": "boom")"},
      {{{"event", "sync"}, {"text", "in sync"}}, "sync: in sync"},
      {{{"event", "novel"}, {"x", 1}}, R"({"event":"novel","x":1})"},
  };
  for (const Case& c : cases) EXPECT_EQ(EventPrinter::Describe(c.event), c.text) << c.event;
}

TEST(EventPrinter, EveryNamedKindHasItsOwnDescription) {
  for (std::size_t i = 0; i < sim::kEventNames.size(); ++i) {
    const auto kind = static_cast<sim::EventKind>(i);
    const json event = {{"event", sim::EventName(kind)}};
    SCOPED_TRACE(event.dump());
    EXPECT_EQ(sim::EventKindOf(event), kind);
    // A kind the printer does not know is shown as its JSON.
    EXPECT_NE(EventPrinter::Describe(event), EventPrinter::Json(event));
  }
  EXPECT_EQ(sim::EventKindOf({{"event", "novel"}}), std::nullopt);
}

TEST(EventPrinter, ALoadListsWhatItRegisteredOnlyWhenVerbose) {
  const json load = {{"event", "load"}, {"ok", true}, {"registered", {"InstallHook A.B"}}};
  EXPECT_EQ(EventPrinter::Describe(load, true),
            "plug-in loaded: 0 commands, 1 hook\n  InstallHook A.B");
}

TEST(EventPrinter, ColoursRefusalsRedAllowedResultsGreenAndErrorsBold) {
  const std::vector<std::pair<json, std::string>> cases = {
      {{{"event", "result"}, {"called", true}, {"value", false}}, "31"},
      {{{"event", "result"}, {"called", false}}, "31"},
      {{{"event", "result"}, {"called", true}, {"value", true}}, "32"},
      {{{"event", "result"}, {"called", true}}, "32"},
      // The stand-in's own verdict wins: an unequipped pod, or the game's own no let through.
      {{{"event", "result"}, {"called", true}, {"refused", true}}, "31"},
      {{{"event", "result"}, {"called", true}, {"value", false}, {"refused", false}}, "32"},
      {{{"event", "error"}, {"text", "x"}}, "1"},
      {{{"event", "crash"}, {"text", "x"}}, "1;31"},
      {{{"event", "chat"}, {"text", "x"}}, ""},
  };
  for (const auto& [event, colour] : cases)
    EXPECT_EQ(EventPrinter::ColourOf(event), colour) << event;
}

TEST(EventPrinter, JsonPutsTheKindFirstAndSurvivesBadUtf8) {
  const json event = {{"event", "chat"}, {"a", 1}, {"text", std::string("bad \xff byte")}};
  EXPECT_EQ(EventPrinter::Json(event),
            "{\"event\":\"chat\",\"a\":1,\"text\":\"bad \xEF\xBF\xBD byte\"}");
}

// In a cluster each event names its map: a prefix on every line of its text, a field in JSON.
TEST(EventPrinter, AnEventOfAMapNamesIt) {
  const json event = {{"event", "help"}, {"map", "TheIsland"}, {"text", "one\ntwo\n"}};
  for (const bool as_json : {false, true}) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    EventPrinter(out, {.json = as_json}).Print(event);
    std::rewind(out);
    char buffer[256] = {};
    const std::string printed(buffer, std::fread(buffer, 1, sizeof buffer - 1, out));
    std::fclose(out);
    EXPECT_EQ(printed, as_json ? R"({"event":"help","map":"TheIsland","text":"one\ntwo\n"})"
                                 "\n"
                               : "    [TheIsland] one\n    two\n");
  }
}

}  // namespace
