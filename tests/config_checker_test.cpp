// tamewarden-sim --check: the exit status, the lines it prints, and its findings from the
// game's real creature and item paths.
#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/tool/config_checker.h"

namespace {

using sim::tool::CheckConfigText;

constexpr char kRex[] = "/Game/PrimalEarth/Dinos/Rex/Rex_Character_BP.Rex_Character_BP";
constexpr char kMekKit[] =
    "/Game/Extinction/CoreBlueprints/Items/PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek";
constexpr char kMek[] = "/Game/Extinction/Dinos/Mek/Mek_Character_BP.Mek_Character_BP";

std::string Wrapped(const std::string& path) { return "Blueprint'" + path + "'"; }

TEST(ConfigChecker, ExitsWithWhatTheCheckFoundAndSumsItUp) {
  struct Case {
    std::string text;
    std::vector<Finding> findings;  // what the plug-in's check reports
    int status;
    std::string out;  // what is printed on standard output
  };
  const std::vector<Case> cases = {
      {R"({"General": {}})", {}, 0, "checking config.json\n0 errors, 0 warnings\n"},
      {R"({"General": 5})",
       {{Severity::kError, "General", "is no object"}, {Severity::kWarning, "Messages", "missing"}},
       1,
       "checking config.json\nerror: General: is no object\nwarning: Messages: missing\n1 error, "
       "1 warning\n"},
      {R"({"General": {}} trailing)", {}, 0, ""},  // read as the plug-in reads it; a warning
      {R"({"General": {,}})", {}, 2, ""},
      {"", {}, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::ostringstream out, err;
    const int status = CheckConfigText(c.text, "config.json", out, err,
                                       [&](const nlohmann::json&) { return c.findings; });
    EXPECT_EQ(status, c.status);
    if (!c.out.empty()) {
      EXPECT_EQ(out.str(), c.out);
    }
    if (status == 2) {
      EXPECT_EQ(out.str(), "checking config.json\n");
      EXPECT_NE(err.str().find("config.json: [json.exception.parse_error"), std::string::npos);
      EXPECT_NE(err.str().find("line 1, column"), std::string::npos);
    }
  }
  std::ostringstream out, err;
  CheckConfigText(R"({"General": {}} trailing)", "config.json", out, err,
                  [](const nlohmann::json&) { return std::vector<Finding>(); });
  EXPECT_EQ(out.str().rfind("checking config.json\nwarning: (document): the plug-in ignores what "
                            "follows",
                            0),
            0u);
  // A check that throws is an error finding, not a crash.
  EXPECT_EQ(CheckConfigText("{}", "c", out, err,
                            [](const nlohmann::json&) -> std::vector<Finding> {
                              throw std::runtime_error("boom");
                            }),
            1);
}

// --strict fails on warnings as on errors; every check, parsed or not, first names its file.
TEST(ConfigChecker, StrictFailsOnWarningsAndTheFirstLineNamesTheFile) {
  const Finding error{Severity::kError, "General", "is no object"};
  const Finding warning{Severity::kWarning, "ItemMap", "is missing"};
  struct Case {
    std::string text;
    std::vector<Finding> findings;
    int status;         // without --strict
    int strict_status;  // with it
  };
  const std::vector<Case> cases = {
      {"{}", {}, 0, 0},      {"{}", {warning}, 0, 1},
      {"{}", {error}, 1, 1}, {"{}", {warning, error}, 1, 1},
      {"{", {}, 2, 2},
  };
  for (const Case& c : cases) {
    for (const bool strict : {false, true}) {
      SCOPED_TRACE(c.text + " with " + std::to_string(c.findings.size()) + " findings" +
                   (strict ? ", strict" : ""));
      std::ostringstream out, err;
      const int status = CheckConfigText(
          c.text, "/srv/game/config.json", out, err,
          [&](const nlohmann::json&) { return c.findings; }, strict);
      EXPECT_EQ(status, strict ? c.strict_status : c.status);
      EXPECT_EQ(out.str().substr(0, out.str().find('\n')), "checking /srv/game/config.json");
    }
  }
}

TEST(ConfigChecker, NamesPathsTheGameDoesNotKnow) {
  struct Case {
    nlohmann::json document;
    std::vector<std::string> lines;  // every finding, formatted
  };
  const std::string misspelled = "/Game/PrimalEarth/Dinos/Rex/Rex_Charcter_BP.Rex_Character_BP";
  const std::string dino_key = "Dinos[\"" + Wrapped(misspelled) + "\"]";
  const std::string map_key = "ItemMap[\"" + Wrapped(kMekKit) + "\"]";
  const std::vector<Case> cases = {
      {{{"Dinos", {{Wrapped(kRex), {{"Count", 1}}}}},
        {"ItemMap", {{Wrapped(kMekKit), Wrapped(kMek)}}}},
       {}},
      // Creature kinds match ignoring case, as the plug-in compares them, the wrapper too.
      {{{"Dinos",
         {{"Blueprint'/game/primalearth/dinos/rex/rex_character_bp.rex_character_bp'", {}}}}},
       {}},
      {{{"Dinos",
         {{"blueprint'/game/primalearth/dinos/rex/rex_character_bp.rex_character_bp'", {}}}}},
       {}},
      {{{"Dinos", {{Wrapped(misspelled), {}}}}},
       {"warning: " + dino_key + ": the key names no creature of the game; did you mean " +
        Wrapped(kRex) + "?"}},
      // A known path without its wrapper: the plug-in's check says how to write it.
      {{{"Dinos", {{kRex, {}}}}}, {}},
      // A mod's creature is not questioned; a path far from every known one is.
      {{{"Dinos", {{"Blueprint'/Game/Mods/Foo/Foo_Character_BP.Foo_Character_BP'", {}}}}}, {}},
      {{{"Dinos", {{"Blueprint'/Game/Nowhere/Thing.Thing'", {}}}}},
       {"warning: Dinos[\"Blueprint'/Game/Nowhere/Thing.Thing'\"]: the key names no creature of "
        "the game's lists; right for one a mod adds, otherwise copy the path the game shows "
        "(GetDinoBp aimed at a creature)"}},
      {{{"ItemMap", {{Wrapped(kMekKit), kMek}}}}, {}},
      // Item keys match exactly: a difference in case is a different item.
      {{{"ItemMap", {{Wrapped(kMekKit).replace(10, 5, "/GAME"), Wrapped(kMek)}}}},
       {"warning: ItemMap[\"" + Wrapped(kMekKit).replace(10, 5, "/GAME") +
        "\"]: the item names no item of the game; did you mean " + Wrapped(kMekKit) + "?"}},
      // Sections the plug-in's check calls broken are left to it.
      {{{"Dinos", 5}, {"ItemMap", {1, 2}}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document.dump());
    std::vector<std::string> lines;
    for (const Finding& finding : sim::tool::GameDataFindings(c.document))
      lines.push_back(FormatFinding(finding));
    EXPECT_EQ(lines, c.lines);
  }
}

// The cluster's password is never shown: whatever is written in its place (a number, an object,
// a list, a text with control characters, a text the parser stops in, keys named like it), no
// finding's key or message, no parse error and no line of --check holds it.
TEST(ConfigChecker, NeverShowsTheDatabasePassword) {
  const std::string secret = "Zq7-hunter-4412";
  const std::string digits = "739153842017";
  nlohmann::json config = {{"General", {{"MaxAmount", 10}}},
                           {"Messages", nlohmann::json::object()},
                           {"Cluster",
                            {{"ServerName", "TheIsland"},
                             {"MysqlUser", "tamewarden"},
                             {"MysqlPass", "@"},
                             {"MysqlDB", "tamewarden"}}}};
  const std::string base = config.dump();
  const std::string nested =
      "{\"" + secret + "\": " + std::string(40, '[') + std::string(40, ']') + "}";
  struct Case {
    std::string member;  // in place of "MysqlPass":"@"
    int status;
  };
  const Case cases[] = {
      {"\"MysqlPass\":" + digits, 1},
      {"\"MysqlPass\":-" + digits + ".5", 1},
      {"\"MysqlPass\":{\"" + secret + "\":\"" + secret + "\"}", 1},
      {"\"MysqlPass\":[\"" + secret + "\"]", 1},
      {"\"MysqlPass\":\"" + secret + "\\u0001\\u001b[2J\\n\"", 0},
      {"\"MysqlPass\":\"" + secret + "\x01\x1b[2J\"", 2},  // control characters as they are
      {"\"MysqlPass\":\"" + secret + "\\q\"", 2},          // an escape JSON lacks
      {"\"MysqlPass\":[\"" + secret + "\x02\"]", 2},
      {"\"MysqlPass\":\"" + secret, 2},  // the closing quote forgotten
      {"\"MysqlPass\":{\"" + secret + "\":1,\"" + secret + "\":2}", 1},
      {"\"MysqlPass\":" + nested, 1},
      {"\"MysqlPas\":\"" + secret + "\"", 1},
      {"\"mysqlpass\":" + digits, 1},
  };
  for (const Case& c : cases) {
    std::string text = base;
    text.replace(text.find("\"MysqlPass\":\"@\""), 15, c.member);
    SCOPED_TRACE(text);
    const ParsedConfig parsed = ParseConfigText(text, "config.json");
    std::vector<Finding> findings = parsed.findings;
    if (parsed.error.empty())
      std::ranges::move(CheckConfig(parsed.document), std::back_inserter(findings));
    for (const std::string& shown : {secret, digits}) {
      EXPECT_EQ(parsed.error.find(shown), std::string::npos) << parsed.error;
      EXPECT_EQ(parsed.detail.find(shown), std::string::npos) << parsed.detail;
      for (const Finding& finding : findings) {
        EXPECT_EQ(finding.key.find(shown), std::string::npos) << finding.key;
        EXPECT_EQ(finding.message.find(shown), std::string::npos) << finding.message;
      }
    }
    std::ostringstream out, err;
    EXPECT_EQ(CheckConfigText(text, "config.json", out, err), c.status) << out.str() << err.str();
    for (const std::string& shown : {secret, digits}) {
      EXPECT_EQ(out.str().find(shown), std::string::npos) << out.str();
      EXPECT_EQ(err.str().find(shown), std::string::npos) << err.str();
    }
  }
}

}  // namespace
