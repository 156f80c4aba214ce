// What players and the owner learn of refusals and near limits, and an admin's look at the
// counts. The roads' refusal lines are shown whole in examples/scenarios/refusals_and_warnings.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/log_field.h"
#include "counting/recount.h"
#include "host/game_facts.h"
#include "tests/support/hook_test.h"

namespace {

using sim::actions::Tame;

class Refusals : public HookTest {
 protected:
  // Rex limited to 5 and 20 in all, a warning from 80%, the optional texts set.
  static nlohmann::json Config() {
    auto config = TestConfig();
    config["General"]["WarnAtPercent"] = 80;
    config["Dinos"][kRex]["Count"] = 5;
    config["Messages"]["ReachKindLimit"] = "{count}/{limit} {name}";
    config["Messages"]["ReachTotalLimit"] = "{total}/{max} in all";
    config["Messages"]["NearLimit"] = "near: {count}/{limit} {name}";
    config["Messages"]["NearTotalLimit"] = "near: {total}/{max} in all";
    return config;
  }
};

// A warning comes with each counted gain from 80% of a limit until the limit itself, where the
// tamer is told the limit is reached instead.
TEST_F(Refusals, AWarningComesFromTheShareOfTheLimitToJustBelowIt) {
  Boot(Config());
  const std::vector<std::vector<std::string>> told = {{}, {}, {}, {"near: 4/5 Rex"}, {"5/5 Rex"}};
  for (const auto& texts : told) {
    events().Clear();
    ASSERT_TRUE(Tame(alice_, Wild(kRexPath)));
    EXPECT_EQ(Notified(), texts);
  }
  // Dodos have no limit of their own: only the total warns (16 of 20 is 80%).
  AddDinos(kDodoPath, kTeam, 10);
  UpdateDinoCountAll();
  events().Clear();
  ASSERT_TRUE(Tame(alice_, Wild(kDodoPath)));
  EXPECT_EQ(Notified(), std::vector<std::string>{"near: 16/20 in all"});
}

// The team's flag keeps "ReachLimit"; without LogRefusals nothing is logged.
TEST_F(Refusals, TheFlagKeepsReachLimitAndLogRefusalsFalseLogsNothing) {
  auto config = Config();
  config["General"]["LogRefusals"] = false;
  AddDinos(kRexPath, kTeam, 6);  // over the Rex limit of 5: flagged
  Boot(config);
  EXPECT_FALSE(Tame(alice_, Wild(kDodoPath)));
  EXPECT_EQ(Notified(), std::vector<std::string>{"Limit reached"});
  const auto lines = LogTexts("info");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("Recount (load): ")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("Config: ")) << lines[1];
}

// tw.counts answers on both channels and creates no entry for a team it is asked about.
TEST_F(Refusals, TeamCountsAnswersEitherChannelAndChangesNothing) {
  AddDinos(kRexPath, kTeam, 2);
  Boot(Config());
  struct Case {
    std::string command;
    std::string answer;
  };
  const std::string usage = "Usage: tw.counts [TEAM] (TEAM: a tribe id, or a player id)";
  const Case cases[] = {
      {"tw.counts 100001", "Raptor: 0/5\nRex: 2/5\nTotal: 2/20"},
      {"tw.counts 424242", "team 424242 owns no creatures"},
      {"tw.counts", "1 team counted, 2 kinds configured\nteam 100001: 2 of 20"},
      {"tw.counts -5", usage},
      {"tw.counts 1 2", usage},
      {"tw.counts 99999999999", usage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(server().Rcon(c.command).at(0).text, c.answer);
    events().Clear();
    server().Console(alice_, c.command);
    ASSERT_EQ(Events("chat").size(), 1u);
    EXPECT_EQ(Events("chat")[0]["text"], c.answer);
  }
  EXPECT_FALSE(Store().KnowsTeam(424242));
}

}  // namespace

// Paths from the game reach a refusal line escaped and bounded: a CR cannot begin a forged line,
// an ESC sequence cannot move a terminal's cursor, U+202E cannot reorder the rest of the line,
// and a long path is cut. On three roads: tame, claim and an admin's spawn.
TEST_F(Refusals, PathsInRefusalLinesAreEscapedAndBounded) {
  struct Case {
    std::string leaf;     // the kind's class name, inside its path
    std::string escaped;  // how the line shows it
  };
  const std::string long_leaf(100'000, 'x');
  const Case cases[] = {
      {"Fake\r[Tamewarden][info]forged", "Fake\\x0D[Tamewarden][info]forged"},
      {"Wipe\x1b[2K", "Wipe\\x1B[2K"},
      {"Rtl\u202Eexe", "Rtl\\u202Eexe"},
  };
  auto config = Config();
  config["General"]["MaxAmount"] = 0;  // every gain refused, whatever its kind
  Boot(config);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.escaped);
    const std::string path = "/Game/" + c.leaf + "." + c.leaf;
    const std::string line_path = "/Game/" + c.escaped + "." + c.escaped;
    events().Clear();
    EXPECT_FALSE(Tame(alice_, Wild(path.c_str())));
    EXPECT_FALSE(sim::actions::MultiUse(alice_, Wild(path.c_str()), game_facts::kClaimUseIndex));
    EXPECT_EQ(LogTexts("info"),
              (std::vector<std::string>{"Tame refused for team " + std::to_string(kTeam) +
                                            ": Blueprint'" + line_path + "' (total limit 0/0)",
                                        "Claim refused for team " + std::to_string(kTeam) +
                                            ": Blueprint'" + line_path + "' (total limit 0/0)"}));
  }
  events().Clear();
  EXPECT_FALSE(Tame(alice_, Wild(("/Game/" + long_leaf + "." + long_leaf).c_str())));
  const auto lines = LogTexts("info");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_LT(lines[0].size(), 700u);
  EXPECT_NE(lines[0].find("\u2026(199"), std::string::npos) << lines[0].substr(0, 80);
}

TEST(LogField, EscapesControlsAndCutsLongFields) {
  EXPECT_EQ(LogField("Blueprint'/Game/Rex.Rex'"), "Blueprint'/Game/Rex.Rex'");
  EXPECT_EQ(LogField("caf\xC3\xA9 \xE2\x80\xA8 \x7F \xC2\x85 \xFF"),
            "caf\xC3\xA9 \\u2028 \\x7F \\x85 \\xFF");
  EXPECT_EQ(LogField(std::string(kMaxLogField + 3, 'a')),
            std::string(kMaxLogField, 'a') + "\u2026(3 more)");
}
