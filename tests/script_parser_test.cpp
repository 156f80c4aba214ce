// Reading script lines: every form of line, its values, and what makes a line wrong.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/tool/line_editor.h"
#include "sim/tool/script_parser.h"

namespace {

using sim::tool::ScriptParser;
using sim::tool::Thing;

constexpr char kPath[] = "/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP";

// A parser that knows the things most lines refer to.
ScriptParser KnowingParser() {
  ScriptParser parser;
  parser.Declare(Thing::kPlayer, "alice");
  parser.Declare(Thing::kPlayer, "bob");
  parser.Declare(Thing::kDino, "rex1");
  parser.Declare(Thing::kItem, "pod");
  parser.Declare(Thing::kStructure, "chamber");
  return parser;
}

struct Good {
  std::string line;
  std::string verb;
  std::vector<std::string> args;
  std::map<std::string, std::string> options = {};
  std::set<std::string> flags = {};
};

const std::string kp = kPath;
const std::vector<Good> kGoodLines = {
    {"player p1 id=5 steam=76561198000000009 tribe=9 admin dead",
     "player",
     {"p1"},
     {{"id", "5"}, {"steam", "76561198000000009"}, {"tribe", "9"}},
     {"admin", "dead"}},
    {"dino d1 kind=" + kp + " team=3 dead at=1,2.5,-3",
     "dino",
     {"d1"},
     {{"kind", kp}, {"team", "3"}, {"at", "1,2.5,-3"}},
     {"dead"}},
    {R"(dino d2 fullname="B_C /Game/A/B.Default__B_C")",
     "dino",
     {"d2"},
     {{"fullname", "B_C /Game/A/B.Default__B_C"}}},
    {"structure s1 at=0,0,0", "structure", {"s1"}, {{"at", "0,0,0"}}},
    {"cryopod c1", "cryopod", {"c1"}},
    {"cryopod c2 holds=" + kp + ",Blueprint'/Game/A/B.B'",
     "cryopod",
     {"c2"},
     {{"holds", kp + ",Blueprint'/Game/A/B.B'"}}},
    {"soultrap t1 holds=" + kp, "soultrap", {"t1"}, {{"holds", kp}}},
    {"item i1 kind=/Game/I/J.J type=4 consumable=3",
     "item",
     {"i1"},
     {{"kind", "/Game/I/J.J"}, {"type", "4"}, {"consumable", "3"}}},
    {"actor a1", "actor", {"a1"}},
    {"null_actor", "null_actor", {}},
    {"config my.json", "config", {"my.json"}},
    {"config_delete", "config_delete", {}},
    {"aim alice rex1", "aim", {"alice", "rex1"}},
    {"aim alice none", "aim", {"alice", "none"}},
    {"aim alice chamber", "aim", {"alice", "chamber"}},
    {"kill_player alice", "kill_player", {"alice"}},
    {"revive alice", "revive", {"alice"}},
    {"server_state 1", "server_state", {"1"}},
    {"load", "load", {}},
    {"unload", "unload", {}},
    {"start", "start", {}},
    {"tame alice rex1", "tame", {"alice", "rex1"}},
    {"claim bob rex1", "claim", {"bob", "rex1"}},
    {"unclaim bob rex1", "unclaim", {"bob", "rex1"}},
    {"multiuse alice rex1 -7", "multiuse", {"alice", "rex1", "-7"}},
    {"die rex1", "die", {"rex1"}},
    {"destroy rex1", "destroy", {"rex1"}},
    {"equip alice pod", "equip", {"alice", "pod"}},
    {"use alice pod", "use", {"alice", "pod"}},
    {"slot pod", "slot", {"pod"}},
    {"request_download alice " + kp, "request_download", {"alice", kp}},
    {"download alice Blueprint'" + kp + "'", "download", {"alice", "Blueprint'" + kp + "'"}},
    {"init_downloaded rex1 200001", "init_downloaded", {"rex1", "200001"}},
    {"clone alice chamber", "clone", {"alice", "chamber"}},
    {"clone alice chamber 85820", "clone", {"alice", "chamber", "85820"}},
    {"netexec alice ServerCloneDino rex1", "netexec", {"alice", "ServerCloneDino", "rex1"}},
    {"netexec alice Ping", "netexec", {"alice", "Ping"}},
    {"spawn alice  not a path at all  ", "spawn", {"alice", "not a path at all"}},
    {"invite alice bob", "invite", {"alice", "bob"}},
    {"merge alice bob", "merge", {"alice", "bob"}},
    {"create_tribe bob 300001", "create_tribe", {"bob", "300001"}},
    {"chat alice /limits   please # the rest is a comment", "chat", {"alice", "/limits   please"}},
    {R"(chat alice "  #1 fan  ")", "chat", {"alice", "  #1 fan  "}},
    {R"(console alice say "hi")", "console", {"alice", R"(say "hi")"}},
    {"rcon tw.reload", "rcon", {"tw.reload"}},
    {R"(rcon "")", "rcon", {""}},
    {"truth", "truth", {}},
    {"\ttruth 200001\r", "truth", {"200001"}},
    {"sync", "sync", {}},
    {"sync 5", "sync", {"5"}},
    {"db_stop", "db_stop", {}},
    {"db_start", "db_start", {}},
    // The line after @MAP is read by the map that runs it, so here it may name anything.
    {"@TheIsland tame nobody nothing", "@MAP", {"TheIsland", "tame nobody nothing"}},
    {"@Map_2.b-c  chat alice \"hi # there\"", "@MAP", {"Map_2.b-c", "chat alice \"hi # there\""}},
};

TEST(ScriptParser, ReadsEveryFormOfLine) {
  for (const Good& good : kGoodLines) {
    SCOPED_TRACE(good.line);
    ScriptParser parser = KnowingParser();
    const auto parsed = parser.Parse(good.line);
    ASSERT_EQ(parsed.error, "");
    ASSERT_TRUE(parsed.statement);
    EXPECT_EQ(parsed.statement->verb->name(), good.verb);
    EXPECT_EQ(parsed.statement->args, good.args);
    const std::map<std::string, std::string> options(parsed.statement->options.begin(),
                                                     parsed.statement->options.end());
    EXPECT_EQ(options, good.options);
    const std::set<std::string> flags(parsed.statement->flags.begin(),
                                      parsed.statement->flags.end());
    EXPECT_EQ(flags, good.flags);
  }
}

TEST(ScriptParser, TellsActionsFromWorldLines) {
  ScriptParser parser = KnowingParser();
  using sim::tool::VerbKind;
  EXPECT_EQ(parser.Parse("tame alice rex1").statement->verb->kind, VerbKind::kAction);
  EXPECT_EQ(parser.Parse("truth").statement->verb->kind, VerbKind::kAction);
  EXPECT_EQ(parser.Parse("aim alice none").statement->verb->kind, VerbKind::kWorld);
  EXPECT_EQ(ScriptParser::VerbOf("tame nobody nothing at all")->name(), "tame");
  EXPECT_EQ(ScriptParser::VerbOf("player p id=1")->kind, VerbKind::kWorld);
  EXPECT_EQ(ScriptParser::VerbOf("# tame alice rex1"), nullptr);
  EXPECT_EQ(ScriptParser::VerbOf("tmae alice rex1"), nullptr);
}

TEST(ScriptParser, BlankAndCommentLinesAreNothing) {
  ScriptParser parser;
  for (const char* line : {"", "   ", "# tame alice rex1", "  # indented comment"}) {
    const auto parsed = parser.Parse(line);
    EXPECT_FALSE(parsed.statement) << line;
    EXPECT_EQ(parsed.error, "") << line;
  }
}

struct Bad {
  std::string line;
  std::string error;
};

const std::vector<Bad> kBadLines = {
    {"tmae alice rex1", "unknown line \"tmae\""},
    {"tame alice", "missing DINO; usage: tame PLAYER DINO"},
    {"tame alice rex1 now", "unexpected \"now\"; usage: tame PLAYER DINO"},
    {"tame zed rex1", "no player \"zed\""},
    {"tame alice nessie", "no dino \"nessie\""},
    {"equip alice rex1", "no item \"rex1\""},
    {"clone alice pod", "no structure \"pod\""},
    {"aim alice pod", "no dino or structure \"pod\""},
    {"player alice id=1", "a player named \"alice\" already exists"},
    {"player p2", "missing id=N"},
    {"player p2 id=x", "id=: \"x\" is no whole number"},
    {"player p2 id=99999999999", "id=: \"99999999999\" is no whole number"},
    {"player p2 id=1 steam=-1", "steam=: \"-1\" is no Steam id"},
    {"player p2 id=1 colour=red", "unknown option colour="},
    {"player p2 id=1 id=2", "id= given twice"},
    {"player p/2 id=1", "bad name \"p/2\""},
    {"player none id=1", "bad name \"none\""},
    {"dino d kind=zzqqxx",
     "kind=: no creature named \"zzqqxx\" and no path like /Game/Dir/Name.Name"},
    {"dino d", "missing kind=KIND or fullname=\"...\""},
    {"dino d kind=/Game/A/B.B fullname=\"B_C x\"", "give only one of kind=KIND"},
    {"dino d kind=/Game/A/B.B at=1,2", "at=: \"1,2\" is no location X,Y,Z"},
    {"cryopod c holds=/Game/A/B.B,", "holds=: \"\" is no path"},
    {"capture alice rex1", "missing POD; usage: capture PLAYER DINO POD"},
    {"item i kind=/Game/I/J.J type=256", "type=: \"256\" is not within 0 to 255"},
    {"multiuse alice rex1 x", "\"x\" is no whole number"},
    {"truth everyone", "\"everyone\" is no whole number"},
    {"config a.json b.json", "unexpected \"b.json\"; usage: config FILE"},
    {"chat alice \"unterminated", "unterminated quote"},
    {"chat alice", "missing TEXT; usage: chat PLAYER TEXT"},
    {"sync soon", "\"soon\" is no whole number"},
    {"db_stop now", "unexpected \"now\"; usage: db_stop"},
    {"@TheIsland", "missing LINE; usage: @MAP LINE"},
    {"@The/Island tame alice rex1", "bad map name \"The/Island\""},
};

TEST(ScriptParser, ReportsWhatIsWrongWithALine) {
  for (const Bad& bad : kBadLines) {
    ScriptParser parser = KnowingParser();
    const auto parsed = parser.Parse(bad.line);
    EXPECT_FALSE(parsed.statement) << bad.line;
    EXPECT_NE(parsed.error.find(bad.error), std::string::npos)
        << bad.line << "\n  error: " << parsed.error << "\n  wanted: " << bad.error;
  }
}

TEST(ScriptParser, NamesAreUniquePerKindOfThing) {
  ScriptParser parser = KnowingParser();
  // A structure may share a player's name; a second structure may not.
  EXPECT_EQ(parser.Parse("structure alice").error, "");
  EXPECT_EQ(parser.Parse("structure alice").error, "a structure named \"alice\" already exists");
  // Cryopods, soul traps and items are all items.
  EXPECT_EQ(parser.Parse("cryopod thing").error, "");
  EXPECT_EQ(parser.Parse("item thing kind=/Game/I/J.J").error,
            "an item named \"thing\" already exists");
}

TEST(ScriptParser, ALineWithAnErrorDefinesNothing) {
  ScriptParser parser = KnowingParser();
  EXPECT_NE(parser.Parse("player p3 id=x").error, "");
  EXPECT_EQ(parser.Parse("tame p3 rex1").error, "no player \"p3\"");
  EXPECT_EQ(parser.Parse("player p3 id=3").error, "");
  EXPECT_EQ(parser.Parse("tame p3 rex1").error, "");
}

// A creature or item may be named by its display name or class name, letter case ignored, or by
// its path; the line then holds the path. Names that fit no entry, or more than one, are errors
// listing the closest entries.
TEST(ScriptParser, KindNamesBecomeTheirPaths) {
  const std::string raptor =
      "/Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP";
  const std::string tek_rex =
      "/Game/PrimalEarth/Dinos/Rex/BionicRex_Character_BP.BionicRex_Character_BP";
  const std::string pod =
      "/Game/Extinction/CoreBlueprints/Weapons/"
      "PrimalItem_WeaponEmptyCryopod.PrimalItem_WeaponEmptyCryopod";
  struct Case {
    std::string line;
    std::string key;  // an option's key, or "" for the second argument
    std::string value;
  };
  const std::vector<Case> cases = {
      {"dino d kind=Rex", "kind", kp},
      {"dino d kind=rex", "kind", kp},
      {"dino d kind=rex_character_bp", "kind", kp},
      {"dino d kind=REX_CHARACTER_BP team=1", "kind", kp},
      {"dino d kind=\"tek rex\"", "kind", tek_rex},
      {"dino d kind=" + kp, "kind", kp},
      {"dino d kind=/Game/Not/Listed.Listed", "kind", "/Game/Not/Listed.Listed"},
      {"cryopod c holds=Rex,raptor_character_bp,/Game/A/B.B", "holds",
       kp + "," + raptor + ",/Game/A/B.B"},
      {"soultrap t holds=Raptor", "holds", raptor},
      {"item i kind=\"Empty Cryopod\"", "kind", pod},
      {"item i kind=primalitem_weaponemptycryopod spawns=Rex", "spawns", kp},
      {"request_download alice Raptor", "", raptor},
      {"download alice \"TEK REX\"", "", tek_rex},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ScriptParser parser = KnowingParser();
    const auto parsed = parser.Parse(c.line);
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(c.key.empty() ? parsed.statement->args.at(1) : parsed.statement->Option(c.key),
              c.value);
  }

  struct Wrong {
    std::string line;
    std::vector<std::string> said;  // in this order
  };
  const std::vector<Wrong> wrongs = {
      {"dino d kind=Rexx",
       {"kind=: no creature named \"Rexx\" and no path like /Game/Dir/Name.Name; the closest:",
        "\n  Rex: " + kp}},
      {"dino d kind=polar_bear",
       {"kind=: \"polar_bear\" names more than one creature; give its path:",
        "\n  Dire Polar Bear (Ragnarok): /Game/Mods/Ragnarok/Custom_Assets/Dinos/Polar_Bear/"
        "Polar_Bear.Polar_Bear",
        "\n  Dire Polar Bear (Valguero): /Game/Mods/Valguero/"}},
      {"cryopod c holds=Rex,Raptr",
       {"holds=: no creature named \"Raptr\"", "\n  Raptor: " + raptor}},
      {"request_download alice saurus", {"no creature named \"saurus\"", "saurus"}},
      {"item i kind=Cryopod", {"kind=: no item named \"Cryopod\"", "\n  Empty Cryopod: " + pod}},
      {"item i kind=Rex", {"kind=: no item named \"Rex\""}},  // a creature is no item
  };
  for (const Wrong& wrong : wrongs) {
    SCOPED_TRACE(wrong.line);
    ScriptParser parser = KnowingParser();
    const auto parsed = parser.Parse(wrong.line);
    EXPECT_FALSE(parsed.statement);
    std::size_t at = 0;
    for (const std::string& part : wrong.said) {
      at = parsed.error.find(part, at);
      ASSERT_NE(at, std::string::npos) << parsed.error << "\n  wanted: " << part;
    }
    // At most five entries are listed, one a line, each with its path.
    EXPECT_LE(std::count(parsed.error.begin(), parsed.error.end(), '\n'), 5);
    for (std::size_t line = parsed.error.find('\n'); line != std::string::npos;
         line = parsed.error.find('\n', line + 1)) {
      const std::string entry =
          parsed.error.substr(line + 1, parsed.error.find('\n', line + 1) - line - 1);
      EXPECT_TRUE(entry.starts_with("  ") && entry.find(": /Game/") != std::string::npos) << entry;
    }
  }
  // "saurus" is in many names: five of them, with their paths.
  ScriptParser parser;
  const std::string error = parser.Parse("dino d kind=saurus").error;
  EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 5) << error;
}

// count=N makes NAME1 ... NAMEN, and only when none of them exists yet.
TEST(ScriptParser, CountMakesNumberedCreatures) {
  ScriptParser parser = KnowingParser();
  const auto parsed = parser.Parse("dino pack kind=Raptor team=7 count=3");
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.statement->Option("count"), "3");
  for (const char* name : {"pack1", "pack2", "pack3"})
    EXPECT_TRUE(parser.Knows(Thing::kDino, name)) << name;
  for (const char* name : {"pack", "pack0", "pack4"})
    EXPECT_FALSE(parser.Knows(Thing::kDino, name)) << name;
  EXPECT_EQ(parser.Parse("dino pack kind=Rex count=5").error,
            "a dino named \"pack1\" already exists");
  EXPECT_FALSE(parser.Knows(Thing::kDino, "pack5"));  // the failed line made none
  const std::vector<std::pair<std::string, std::string>> counts = {
      {"0", "count=: \"0\" is not within 1 to 100000"},
      {"-2", "count=: \"-2\" is not within 1 to 100000"},
      {"100001", "count=: \"100001\" is not within 1 to 100000"},
      {"many", "count=: \"many\" is no whole number"},
      {"100000", ""},
  };
  for (const auto& [count, error] : counts)
    EXPECT_EQ(parser.Parse("dino herd" + count + " kind=Rex count=" + count).error, error) << count;
  EXPECT_TRUE(parser.Knows(Thing::kDino, "herd100000100000"));
  EXPECT_EQ(parser.Parse("structure s count=2").error.substr(0, 21), "unknown option count=");
}

}  // namespace

namespace {

// Tab at the end of a line: what it becomes, or the choices listed when it cannot grow.
TEST(ScriptParser, TabCompletesVerbsNamesOptionsAndRealPaths) {
  const ScriptParser parser = KnowingParser();
  const sim::tool::Completer completer = [&](const std::vector<std::string>& words,
                                             std::string_view partial) {
    return parser.Candidates(words, partial);
  };
  struct Case {
    std::string typed;
    std::string line;
    std::vector<std::string> choices = {};
  };
  const std::vector<Case> cases = {
      {"ta", "tame "},
      {"tame al", "tame alice "},
      {"tame alice r", "tame alice rex1 "},
      {"tame ", "tame ", {"alice", "bob"}},
      {"c",
       "c",
       {"capture", "chat", "claim", "clone", "config", "config_delete", "console", "create_tribe",
        "cryopod"}},
      {"aim alice ch", "aim alice chamber "},  // a creature or a structure
      {"player p id=1 a", "player p id=1 admin "},
      {"player p id=1 tr", "player p id=1 tribe="},
      {"dino d kind=/Game/PrimalEarth/Dinos/Rex/Rex_C",
       "dino d kind=/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP "},
      // Two real paths begin alike: the part they share.
      {"request_download bob /Game/PrimalEarth/Dinos/Raptor/Rap",
       "request_download bob /Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP"},
      {"help sl", "help slot "},
      {"tmae al", "tmae al"},  // no verb, nothing to offer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const sim::tool::Completion done = sim::tool::Complete(c.typed, c.typed.size(), completer);
    EXPECT_EQ(done.line, c.line);
    EXPECT_EQ(done.cursor, c.line.size());
    EXPECT_EQ(done.choices, c.choices);
  }
  // In the middle of a line only the word before the cursor changes.
  const auto done = sim::tool::Complete("tame al rex1", 7, completer);
  EXPECT_EQ(done.line, "tame alice  rex1");
  EXPECT_EQ(done.cursor, 11u);
}

}  // namespace
