// What players and the owner learn of refusals and near limits, and an admin's look at the
// counts. The roads' refusal lines are shown whole in examples/scenarios/refusals_and_warnings.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/log_field.h"
#include "counting/recount.h"
#include "host/game_facts.h"
#include "sim/framework/call_trace.h"
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

// The team's flag tells ReachKindLimit of the kind that is over; without LogRefusals nothing is
// logged.
TEST_F(Refusals, TheFlagNamesTheKindOverItsLimitAndLogRefusalsFalseLogsNothing) {
  auto config = Config();
  config["General"]["LogRefusals"] = false;
  AddDinos(kRexPath, kTeam, 6);  // over the Rex limit of 5: flagged
  Boot(config);
  EXPECT_FALSE(Tame(alice_, Wild(kDodoPath)));
  EXPECT_EQ(Notified(), std::vector<std::string>{"6/5 Rex"});
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
  const std::string usage = "Usage: tw.counts [TEAM | over] (TEAM: a tribe id, or a player id)";
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

// Refusal lines name the acting player after the team and the kind a team is over; the player's
// ReachKindLimit text names that kind too. Dodos are configured without a display name, so the
// line names them by their key. On three roads, and on a tame the game asks without a player.
TEST_F(Refusals, RefusalLinesNameThePlayerAndTheKindThatIsOver) {
  auto config = Config();
  config["Dinos"][kRex]["Count"] = 2;
  config["Dinos"][kDodo] = {{"Count", 1}};
  Boot(config);
  struct Case {
    const char* owned;  // the team owns `n` of these
    int n;
    std::function<bool(sim::ShooterPlayerController&)> act;  // true when the gain went ahead
    std::string line;                                        // after "ROAD refused for team TEAM"
    std::string notice;                                      // told the player, if anything
  };
  const auto tame = [&](const char* path) {
    return [&, path](sim::ShooterPlayerController& p) { return Tame(p, Wild(path)); };
  };
  const auto tame_unattended = [&](const char* path) {
    return [&, path](sim::ShooterPlayerController& p) {
      sim::Dino& dino = Wild(path);
      dino.taming_team_id = sim::Game::TeamOf(p);
      return sim::Invoke<"AShooterGameState.AllowDinoTame">(
          sim::ToHost<AShooterGameState>(&game().game_state()),
          sim::ToHost<APrimalDinoCharacter>(&dino), nullptr);
    };
  };
  const auto claim = [&](const char* path) {
    return [&, path](sim::ShooterPlayerController& p) {
      return sim::actions::MultiUse(p, Wild(path), game_facts::kClaimUseIndex);
    };
  };
  const auto spawn = [&](const char* path) {
    return [&, path](sim::ShooterPlayerController& p) {
      return sim::actions::Spawn(p, path) != nullptr;
    };
  };
  const std::string rex = kRex, raptor = kRaptor;
  const Case cases[] = {
      {kRexPath, 2, tame(kRexPath), "Tame refused for team T (P): " + rex + " (kind limit 2/2)",
       "2/2 Rex"},
      {kRexPath, 3, claim(kRaptorPath),
       "Claim refused for team T (P): " + raptor + " (over the kind limit of Rex 3/2)", "3/2 Rex"},
      {kDodoPath, 2, spawn(kRaptor),
       "Spawn refused for team T (P): " + raptor + " (over the kind limit of " + kDodo + " 2/1)",
       "2/1 "},
      {kRexPath, 2, tame_unattended(kRexPath),
       "Tame refused for team T: " + rex + " (kind limit 2/2)", ""},
  };
  int32_t team = 100010;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ++team;
    const std::string name = "p" + std::to_string(team);
    sim::ShooterPlayerController& player = game().AddPlayer({name, team, 7000u + team, 0});
    AddDinos(c.owned, team, c.n);
    UpdateDinoCountAll();
    events().Clear();
    EXPECT_FALSE(c.act(player));
    std::string line = c.line;
    line.replace(line.find("team T") + 5, 1, std::to_string(team));
    if (const auto at = line.find("(P)"); at != std::string::npos)
      line.replace(at, 3, "(" + name + ", Steam id " + std::to_string(7000u + team) + ")");
    EXPECT_EQ(LogTexts("info"), std::vector<std::string>{line});
    EXPECT_EQ(Notified(),
              c.notice.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.notice});
  }
}

// A player's name is game data: in the refusal line its controls are escaped and a long one is
// cut, like a path.
TEST_F(Refusals, PlayerNamesInRefusalLinesAreEscapedAndBounded) {
  auto config = Config();
  config["General"]["MaxAmount"] = 0;
  Boot(config);
  struct Case {
    std::wstring name;
    std::string shown;
  };
  const Case cases[] = {
      {L"Eve\r[Tamewarden][info]forged", "Eve\\x0D[Tamewarden][info]forged"},
      {L"Wipe\x1b[2K", "Wipe\\x1B[2K"},
      {L"Rtl\u202Eexe", "Rtl\\u202Eexe"},
      {std::wstring(100'000, L'n'), std::string(kMaxLogField, 'n') + "\u2026(99488 more)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown.substr(0, 40));
    sim::FromHost<sim::PlayerState>(alice_.player_state)->player_name = FString(c.name);
    events().Clear();
    EXPECT_FALSE(Tame(alice_, Wild(kRexPath)));
    EXPECT_EQ(LogTexts("info"),
              std::vector<std::string>{"Tame refused for team " + std::to_string(kTeam) + " (" +
                                       c.shown + ", Steam id 1): " + kRex + " (total limit 0/0)"});
  }
}

// "tw.counts over": every team over a kind's limit or the total, one a line in team order, on
// both channels; a team at a limit is not over it.
TEST_F(Refusals, TeamCountsOverListsEveryTeamOverALimit) {
  auto config = Config();
  config["General"]["MaxAmount"] = 4;
  config["Dinos"][kRex]["Count"] = 2;
  config["Dinos"][kDodo] = {{"Count", 1}};
  Boot(config);
  const auto answer = [&] {
    const std::string rcon = server().Rcon("tw.counts over").at(0).text;
    events().Clear();
    server().Console(alice_, "tw.counts over");
    EXPECT_EQ(Events("chat").size(), 1u);
    EXPECT_EQ(Events("chat").at(0)["text"], rcon);
    return rcon;
  };
  AddDinos(kRexPath, 100021, 2);  // at the Rex limit
  UpdateDinoCountAll();
  EXPECT_EQ(answer(), "no team is over a limit");
  AddDinos(kRexPath, 100022, 3);
  AddDinos(kDodoPath, 100022, 2);
  AddDinos(kRaptorPath, 100023, 5);
  UpdateDinoCountAll();
  EXPECT_EQ(answer(), "2 teams are over a limit\nteam 100022: " + std::string(kDodo) +
                          " 2/1, Rex 3/2, total 5/4\nteam 100023: total 5/4");
}

// A command given words it does not take answers its usage instead of running.
TEST_F(Refusals, ExtraWordsAreAnsweredWithTheUsage) {
  AddDinos(kRexPath, kTeam, 2);
  Boot(Config());
  struct Case {
    std::string command;
    std::string usage;
    bool rcon;  // also over RCON
  };
  const std::string counts = "Usage: tw.counts [TEAM | over] (TEAM: a tribe id, or a player id)";
  const Case cases[] = {
      {"UpdateDinos now", "Usage: UpdateDinos (no words: recounts every creature)", true},
      {"tw.reload config.json", "Usage: tw.reload (no words: reloads config.json)", true},
      {"GetDinoBp rex", "Usage: GetDinoBp (no words: aim at a creature)", false},
      {"tw.status all", "Usage: tw.status (no words: what the plug-in runs)", true},
      {"tw.counts over 100001", counts, true},
      {"tw.counts 100001 over", counts, true},
  };
  AddDinos(kRexPath, kTeam, 1);  // a recount would find three
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    events().Clear();
    if (c.rcon) {
      EXPECT_EQ(server().Rcon(c.command).at(0).text, c.usage);
    }
    server().Console(alice_, c.command);
    ASSERT_EQ(Events("chat").size(), 1u);
    EXPECT_EQ(Events("chat")[0]["text"], c.usage);
    EXPECT_EQ(LogTexts("info"), std::vector<std::string>{});  // no reload, no recount
  }
  EXPECT_EQ(TotalOf(kTeam), 2);
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
              (std::vector<std::string>{
                  "Tame refused for team " + std::to_string(kTeam) +
                      " (alice, Steam id 1): Blueprint'" + line_path + "' (total limit 0/0)",
                  "Claim refused for team " + std::to_string(kTeam) +
                      " (alice, Steam id 1): Blueprint'" + line_path + "' (total limit 0/0)"}));
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
