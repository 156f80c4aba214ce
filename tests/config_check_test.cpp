// The configuration check: which documents it refuses (errors) and questions (warnings), and
// under which key. The messages are for people; the tests pin severity and key.
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/config_check.h"
#include "base/spelling.h"
#include "tests/support/sim_test.h"

namespace {

using nlohmann::json;
using Expected = std::vector<std::pair<Severity, std::string>>;

constexpr Severity kE = Severity::kError;
constexpr Severity kW = Severity::kWarning;

const std::string kRexKey = std::string("Dinos[\"") + kRex + "\"]";

// Where a value stands, by its keys ("Dinos", kRex, "Count").
template <typename... Keys>
json::json_pointer At(const Keys&... keys) {
  json::json_pointer pointer;
  ((pointer /= std::string(keys)), ...);
  return pointer;
}

// The test configuration, which has no findings of its own, with one change.
json With(const json::json_pointer& at, json value) {
  json config = SimTest::TestConfig();
  config[at] = std::move(value);
  return config;
}
json Without(const json::json_pointer& at) {
  json config = SimTest::TestConfig();
  config[at.parent_pointer()].erase(at.back());
  return config;
}

// Nested arrays, `depth` levels deep.
json Nested(int depth) {
  json value = json::array();
  for (int i = 1; i < depth; ++i) value = json::array({std::move(value)});
  return value;
}

Expected FindingsOf(const json& config) {
  Expected found;
  for (const Finding& finding : CheckConfig(config))
    found.emplace_back(finding.severity, finding.key);
  return found;
}

TEST(ConfigCheck, FindsEachProblemUnderItsKey) {
  struct Case {
    const char* name;
    json config;
    Expected expected;
  };
  const Case cases[] = {
      {"the test config", SimTest::TestConfig(), {}},
      {"no object", json::array({1}), {{kE, "(document)"}}},
      {"General missing", Without(At("General")), {{kE, "General"}}},
      {"Messages no object", With(At("Messages"), "hi"), {{kE, "Messages"}}},
      {"Dinos an array", With(At("Dinos"), {1, 2}), {{kE, "Dinos"}}},
      {"Dinos null", With(At("Dinos"), nullptr), {}},
      {"a kind no object", With(At("Dinos", kRex), 5), {{kE, kRexKey}}},
      {"a quoted Count", With(At("Dinos", kRex, "Count"), "2"), {{kE, kRexKey + ".Count"}}},
      {"a quoted MaxAmount", With(At("General", "MaxAmount"), "20"), {{kE, "General.MaxAmount"}}},
      {"a null scale",
       With(At("General", "NotificationScale"), nullptr),
       {{kE, "General.NotificationScale"}}},
      {"a boolean scale", With(At("General", "NotificationScale"), true), {}},
      {"a colour no number",
       With(At("Messages", "NotificationColor", "Red"), "red"),
       {{kE, "Messages.NotificationColor.Red"}}},
      {"a text no text", With(At("Messages", "ReachLimit"), 5), {{kE, "Messages.ReachLimit"}}},
      {"a Name no text",
       With(At("Dinos", kRex, "Name"), json::object()),
       {{kE, kRexKey + ".Name"}}},
      {"IgnoreAdmin no boolean",
       With(At("General", "IgnoreAdmin"), 1),
       {{kE, "General.IgnoreAdmin"}}},
      {"Debug no boolean", With(At("Debug"), "yes"), {{kE, "Debug"}}},
      {"ItemMap no object", With(At("ItemMap"), json::array()), {{kE, "ItemMap"}}},
      {"an ItemMap entry no text",
       With(At("ItemMap", kRex), 1),
       {{kE, "ItemMap[\"" + std::string(kRex) + "\"]"}}},
      {"a lone brace",
       With(At("Messages", "ReachLimit"), "100% {full"),
       {{kE, "Messages.ReachLimit"}}},
      {"a placeholder in a plain text",
       With(At("Messages", "ReachLimit"), "{}"),
       {{kE, "Messages.ReachLimit"}}},
      {"an argument the template lacks",
       With(At("Messages", "ShowLimitMsg"), "{3}"),
       {{kE, "Messages.ShowLimitMsg"}}},
      {"a brace written twice where four are needed",
       With(At("Messages", "TotalLimitMsg"), "{{0}}"),
       {{kE, "Messages.TotalLimitMsg"}}},
      {"a huge width",
       With(At("Messages", "ShowLimitMsg"), "{1:>10000000}"),
       {{kE, "Messages.ShowLimitMsg"}}},
      {"a width from a value",
       With(At("Messages", "ShowLimitMsg"), "{1:>{2}}"),
       {{kE, "Messages.ShowLimitMsg"}}},
      {"widths adding up",
       With(At("Messages", "TotalLimitMsg"), "{0:>3000}{1:>3000}"),
       {{kE, "Messages.TotalLimitMsg"}}},
      {"a precision cutting a name", With(At("Messages", "ShowLimitMsg"), "{0:.3}: {1}/{2}"), {}},
      {"a Name the first formatting doubles", With(At("Dinos", kRex, "Name"), "{x}"), {}},
      {"the title formatted as a notification",
       [] {
         json config = With(At("Messages", "ShowLimitsType"), "Notification");
         config["Messages"]["Sender"] = "{bad";
         return config;
       }(),
       {{kE, "Messages.Sender"}}},
      {"a title only chat shows", With(At("Messages", "Sender"), "{bad"), {}},
      {"deep nesting",
       With(At("Dinos", kRex, "Name"), Nested(40)),
       {{kE, kRexKey + ".Name[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]"
                       "[0][0][0][0][0][0]"},
        {kE, kRexKey + ".Name"}}},
      {"named placeholders",
       With(At("Messages", "ReachKindLimit"), "{count} of {limit} {name}"),
       {}},
      {"a placeholder the text lacks",
       With(At("Messages", "NearTotalLimit"), "{name}"),
       {{kE, "Messages.NearTotalLimit"}}},
      {"a share of 100",
       With(At("General", "WarnAtPercent"), 100),
       {{kE, "General.WarnAtPercent"}}},
      {"a share in quotes",
       With(At("General", "WarnAtPercent"), "80"),
       {{kE, "General.WarnAtPercent"}}},
      {"LogRefusals no boolean",
       With(At("General", "LogRefusals"), "no"),
       {{kE, "General.LogRefusals"}}},
      {"a tier of a base kind",
       With(At("Tiers"),
            {{{"Group", "VIP"}, {"MaxAmount", 40}, {"Dinos", {{kRex, {{"Count", 4}}}}}}}),
       {}},
      {"tiers no list", With(At("Tiers"), json::object()), {{kE, "Tiers"}}},
      {"a tier without a group",
       With(At("Tiers"), {{{"MaxAmount", 40}}}),
       {{kE, "Tiers[0].Group"}}},
      {"a tier of a kind the base lacks",
       With(At("Tiers"), {{{"Group", "VIP"}, {"Dinos", {{kDodo, {{"Count", 4}}}}}}}),
       {{kE, "Tiers[0].Dinos[\"" + std::string(kDodo) + "\"]"}}},
      {"a tier's Count in quotes",
       With(At("Tiers"), {{{"Group", "VIP"}, {"Dinos", {{kRex, {{"Count", "4"}}}}}}}),
       {{kE, "Tiers[0].Dinos[\"" + std::string(kRex) + "\"].Count"}}},
      {"two tiers of one group",
       With(At("Tiers"), {{{"Group", "VIP"}}, {{"Group", "VIP"}}}),
       {{kW, "Tiers[1].Group"}}},
      {"Unlimited no boolean",
       With(At("Tiers"), {{{"Group", "Staff"}, {"Unlimited", "yes"}}}),
       {{kE, "Tiers[0].Unlimited"}}},
      {"MaxAmount missing", Without(At("General", "MaxAmount")), {{kW, "General.MaxAmount"}}},
      {"ReachLimit missing", Without(At("Messages", "ReachLimit")), {{kW, "Messages.ReachLimit"}}},
      {"a colour component missing",
       Without(At("Messages", "NotificationColor", "Blue")),
       {{kW, "Messages.NotificationColor.Blue"}}},
      {"ItemMap missing", Without(At("ItemMap")), {{kW, "ItemMap"}}},
      {"a misspelt key", With(At("General", "MaxAmmount"), 5), {{kW, "General.MaxAmmount"}}},
      {"a key in the wrong section",
       With(At("General", "ShowLimitMsg"), "x"),
       {{kW, "General.ShowLimitMsg"}}},
      {"a lower-case Count", With(At("Dinos", kRex, "count"), 2), {{kW, kRexKey + ".count"}}},
      {"an unknown section", With(At("Dinoz"), json::object()), {{kW, "Dinoz"}}},
      {"another type of answer",
       With(At("Messages", "ShowLimitsType"), "notification"),
       {{kW, "Messages.ShowLimitsType"}}},
      {"a command name of two words",
       With(At("Messages", "ShowLimitCmd"), "/my limits"),
       {{kW, "Messages.ShowLimitCmd"}}},
      {"an unwrapped path",
       With(At("Dinos", kRexPath), json::object()),
       {{kW, "Dinos[\"" + std::string(kRexPath) + "\"]"}}},
      {"no path at all", With(At("Dinos", "Rex"), json::object()), {{kW, "Dinos[\"Rex\"]"}}},
      // The game matches kinds ignoring case, wrapper and all, and items exactly.
      {"a kind in lower case",
       With(At("Dinos"),
            {{"blueprint'/game/primalearth/dinos/rex/rex_character_bp.rex_character_bp'",
              json::object()}}),
       {}},
      {"an item in lower case",
       With(At("ItemMap"), {{"blueprint'/game/a/b.b'", kRex}}),
       {{kW, "ItemMap[\"blueprint'/game/a/b.b'\"]"}}},
      {"two spellings of one kind",
       With(At("Dinos", "Blueprint'/game/primalearth/dinos/rex/rex_character_bp.rex_character_bp'"),
            json::object()),
       {{kW,
         "Dinos[\"Blueprint'/game/primalearth/dinos/rex/rex_character_bp.rex_character_bp'\"]"}}},
      {"a path outside ASCII",
       With(At("Dinos", "Blueprint'/Game/Caf\xc3\xa9.Caf\xc3\xa9'"), json::object()),
       {{kW, "Dinos[\"Blueprint'/Game/Caf\xc3\xa9.Caf\xc3\xa9'\"]"}}},
      {"a negative Count", With(At("Dinos", kRex, "Count"), -1), {{kW, kRexKey + ".Count"}}},
      {"a Count beyond 32 bits",
       With(At("Dinos", kRex, "Count"), 3000000000u),
       {{kW, kRexKey + ".Count"}}},
      {"a fractional MaxAmount",
       With(At("General", "MaxAmount"), 20.5),
       {{kW, "General.MaxAmount"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindingsOf(c.config), c.expected) << c.name;
  }
}

// The smallest document that loads: only warnings, each saying what the plug-in will do.
TEST(ConfigCheck, TheSmallestDocumentHasWarningsOnly) {
  const std::vector<Finding> findings =
      CheckConfig({{"General", json::object()}, {"Messages", json::object()}});
  EXPECT_EQ(CountFindings(findings, Severity::kError), 0u);
  ASSERT_GT(CountFindings(findings, Severity::kWarning), 0u);
  EXPECT_EQ(FormatFinding(findings[0]),
            "warning: General.MaxAmount: is missing, so every tame is refused and /limits answers "
            "nothing; write the most creatures one team may own, such as \"MaxAmount\": 150");
}

TEST(ConfigCheck, EveryShippedConfigurationHasNoErrors) {
  const std::filesystem::path examples = std::filesystem::path(TW_SOURCE_DIR) / "examples";
  int checked = 0;
  for (const auto& dir : {examples, examples / "scenarios"}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() != ".json") continue;
      std::ifstream in(entry.path());
      const json config = json::parse(in, nullptr, /*allow_exceptions=*/false);
      if (config.is_discarded()) continue;  // a file broken on purpose, to show a failed reload
      for (const Finding& finding : CheckConfig(config))
        EXPECT_NE(finding.severity, Severity::kError)
            << entry.path() << ": " << FormatFinding(finding);
      ++checked;
    }
  }
  EXPECT_GT(checked, 10);
}

TEST(ConfigCheck, NearestNameCatchesSlipsOnly) {
  const std::vector<std::string> keys = {"MaxAmount", "NotificationScale", "Count"};
  EXPECT_EQ(NearestName("MaxAmmount", keys), "MaxAmount");
  EXPECT_EQ(NearestName("count", keys), "Count");
  EXPECT_EQ(NearestName("Colour", keys), "");
  EXPECT_EQ(NearestName("", keys), "");
}

}  // namespace
