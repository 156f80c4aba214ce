// The configuration check: which documents it refuses (errors) and questions (warnings), and
// under which key. The messages are for people; the tests pin severity and key.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/config_check.h"
#include "base/config_schema.h"
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

// The check of `config` finds one problem, of `severity`, under `key`, saying `phrase`.
void ExpectOneFinding(const json& config, Severity severity, const std::string& key,
                      const std::string& phrase) {
  const std::vector<Finding> findings = CheckConfig(config);
  std::string all;
  for (const Finding& finding : findings) all += FormatFinding(finding) + "\n";
  ASSERT_EQ(findings.size(), 1u) << all;
  EXPECT_EQ(findings[0].severity, severity);
  EXPECT_EQ(findings[0].key, key);
  EXPECT_NE(findings[0].message.find(phrase), std::string::npos) << findings[0].message;
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
      {"Dinos null", With(At("Dinos"), nullptr), {{kE, "Dinos"}}},
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
      {"MaxAmount missing", Without(At("General", "MaxAmount")), {{kE, "General.MaxAmount"}}},
      {"ReachLimit missing", Without(At("Messages", "ReachLimit")), {{kW, "Messages.ReachLimit"}}},
      {"a colour component missing",
       Without(At("Messages", "NotificationColor", "Blue")),
       {{kW, "Messages.NotificationColor.Blue"}}},
      {"ItemMap missing", Without(At("ItemMap")), {{kW, "ItemMap"}}},
      {"a misspelt key", With(At("General", "MaxAmmount"), 5), {{kE, "General.MaxAmmount"}}},
      {"a key in the wrong section",
       With(At("General", "ShowLimitMsg"), "x"),
       {{kW, "General.ShowLimitMsg"}}},
      {"a lower-case Count", With(At("Dinos", kRex, "count"), 2), {{kE, kRexKey + ".count"}}},
      {"an unknown section", With(At("Dinoz"), json::object()), {{kE, "Dinoz"}}},
      {"another type of answer",
       With(At("Messages", "ShowLimitsType"), "notification"),
       {{kW, "Messages.ShowLimitsType"}}},
      {"a command name of two words",
       With(At("Messages", "ShowLimitCmd"), "/my limits"),
       {{kW, "Messages.ShowLimitCmd"}}},
      {"an unwrapped path",
       With(At("Dinos", kRexPath), json::object()),
       {{kE, "Dinos[\"" + std::string(kRexPath) + "\"]"}}},
      {"no path at all", With(At("Dinos", "Rex"), json::object()), {{kE, "Dinos[\"Rex\"]"}}},
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
       {{kE, "Dinos[\"Blueprint'/Game/Caf\xc3\xa9.Caf\xc3\xa9'\"]"}}},
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

// The smallest document that loads: only warnings, each saying what the plug-in will do. Without
// MaxAmount it would refuse every tame, so that is an error.
TEST(ConfigCheck, TheSmallestDocumentHasWarningsOnly) {
  const std::vector<Finding> findings =
      CheckConfig({{"General", {{"MaxAmount", 150}}}, {"Messages", json::object()}});
  EXPECT_EQ(CountFindings(findings, Severity::kError), 0u);
  ASSERT_GT(CountFindings(findings, Severity::kWarning), 0u);
  EXPECT_EQ(FormatFinding(findings[0]),
            "warning: General.NotificationScale: is missing, so refusals will not be shown; write "
            "the text size, such as \"NotificationScale\": 1.3");
  const std::vector<Finding> without =
      CheckConfig({{"General", json::object()}, {"Messages", json::object()}});
  EXPECT_EQ(CountFindings(without, Severity::kError), 1u);
  EXPECT_EQ(FormatFinding(without[0]),
            "error: General.MaxAmount: is missing, so every tame would be refused and /limits "
            "would answer nothing; write the most creatures one team may own, such as "
            "\"MaxAmount\": 150");
}

// The mistakes owners make, each with its severity, the key it stands under and what the message
// must say. An error for every mistake that, as written, would leave a limit the owner wrote
// unenforced or enforce one the owner did not write; a warning for the rest.
TEST(ConfigCheck, AMistakeThatChangesALimitIsAnError) {
  struct Case {
    const char* mistake;
    json config;
    Severity severity;
    std::string key;
    std::string phrase;
  };
  const std::string unwrapped = std::string("Dinos[\"") + kRexPath + "\"]";
  json many_tiers = json::array();
  for (int i = 0; i < 65; ++i) many_tiers.push_back({{"Group", "G" + std::to_string(i)}});
  const Case cases[] = {
      {"a section misspelt", With(At("Dino"), {{kRex, {{"Count", 6}}}}), kE, "Dino",
       "everything in it would be ignored; did you mean \"Dinos\"?"},
      {"a section in lower case", With(At("tiers"), json::array()), kE, "tiers",
       "differs from \"Tiers\" only in letter case"},
      {"a kind's Count in lower case", With(At("Dinos", kRex, "count"), 6), kE, kRexKey + ".count",
       "only in letter case, which keys do not ignore, so its value would be ignored; write "
       "\"Count\""},
      {"MaxAmount misspelt", With(At("General", "MaxAmmount"), 60), kE, "General.MaxAmmount",
       "did you mean \"MaxAmount\"?"},
      {"a tier's MaxAmount misspelt", With(At("Tiers"), {{{"Group", "VIP"}, {"MaxAmont", 40}}}), kE,
       "Tiers[0].MaxAmont", "did you mean \"MaxAmount\"?"},
      {"a colour misspelt", With(At("Messages", "NotificationColor", "Gren"), 1.0), kE,
       "Messages.NotificationColor.Gren", "did you mean \"Green\"?"},
      {"a kind copied without Blueprint'...'", With(At("Dinos", kRexPath), {{"Count", 2}}), kE,
       unwrapped,
       "never matches a creature and the kind would not be limited; write \"Blueprint'" +
           std::string(kRexPath) + "'\""},
      {"a kind by its name", With(At("Dinos", "Rex"), {{"Count", 2}}), kE, "Dinos[\"Rex\"]",
       "not a blueprint path of the form Blueprint'/Game/.../X.X', so it never matches a "
       "creature"},
      {"a kind outside ASCII",
       With(At("Dinos", "Blueprint'/Game/Caf\xc3\xa9.Caf\xc3\xa9'"), json::object()), kE,
       "Dinos[\"Blueprint'/Game/Caf\xc3\xa9.Caf\xc3\xa9'\"]",
       "outside ASCII, so it never matches a creature"},
      {"Dinos a list", With(At("Dinos"), json::array()), kE, "Dinos", "no kind would be limited"},
      {"Dinos null", With(At("Dinos"), nullptr), kE, "Dinos",
       "or \"Dinos\": {} for no kind limits"},
      {"General null", With(At("General"), nullptr), kE, "General",
       "is null, but must be an object"},
      {"Messages a list", With(At("Messages"), json::array()), kE, "Messages", "must be an object"},
      {"ItemMap null", With(At("ItemMap"), nullptr), kE, "ItemMap", "must be an object"},
      {"Tiers null", With(At("Tiers"), nullptr), kE, "Tiers", "must be a list of tiers"},
      {"a colour a list", With(At("Messages", "NotificationColor"), json::array()), kE,
       "Messages.NotificationColor", "must be an object"},
      {"a tier's Dinos a list", With(At("Tiers"), {{{"Group", "VIP"}, {"Dinos", json::array()}}}),
       kE, "Tiers[0].Dinos", "must be an object"},
      {"MaxAmount missing", Without(At("General", "MaxAmount")), kE, "General.MaxAmount",
       "every tame would be refused"},
      // What runs, if probably not as meant.
      {"a key far from every known one", With(At("General", "Comment"), "x"), kW, "General.Comment",
       "is not a key the plug-in knows, so it is ignored"},
      {"a kind's note beside its Name", With(At("Dinos", kRex, "Note"), "x"), kW, kRexKey + ".Note",
       "so it is ignored; did you mean \"Name\"?"},
      {"more tiers than a server needs", With(At("Tiers"), many_tiers), kW, "Tiers",
       "holds 65 tiers, more than the 64"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mistake);
    ExpectOneFinding(c.config, c.severity, c.key, c.phrase);
  }
}

// A configuration with a whole "Cluster" section, with one key changed (a null value removes it).
json WithCluster(const std::string& key, json value) {
  json config = SimTest::TestConfig();
  config["Cluster"] = {
      {"ServerName", "TheIsland"}, {"MysqlHost", "127.0.0.1"}, {"MysqlPort", 3306},
      {"MysqlUser", "tamewarden"}, {"MysqlPass", "secret"},    {"MysqlDB", "tamewarden"},
      {"MysqlSocket", ""},         {"ClusterName", "main"},    {"SyncIntervalMs", 500}};
  if (value.is_null())
    config["Cluster"].erase(key);
  else
    config["Cluster"][key] = std::move(value);
  return config;
}

TEST(ConfigCheck, ClusterSettingsWithinTheirBoundsPass) {
  const std::pair<std::string, json> cases[] = {
      {"ServerName", "Ragnarok_2.test-A"},
      {"ServerName", std::string(64, 'x')},
      {"ClusterName", nullptr},  // "default"
      {"MysqlHost", nullptr},    // 127.0.0.1
      {"MysqlSocket", nullptr},
      {"MysqlPass", ""},  // a user without a password
      {"MysqlPort", 1},
      {"MysqlPort", 65535},
      {"MysqlPort", 3306.0},
      {"SyncIntervalMs", 50},
      {"SyncIntervalMs", 60000},
  };
  for (const auto& [key, value] : cases)
    EXPECT_EQ(FindingsOf(WithCluster(key, value)), Expected()) << key << " " << value;
  json socket_only = WithCluster("MysqlHost", "");
  socket_only["Cluster"]["MysqlSocket"] = "/run/mysqld/mysqld.sock";
  EXPECT_EQ(FindingsOf(socket_only), Expected());
  json smallest = SimTest::TestConfig();
  smallest["Cluster"] = {{"ServerName", "A"}, {"MysqlUser", "u"}, {"MysqlDB", "d"}};
  EXPECT_EQ(FindingsOf(smallest), Expected());
}

// Each mistake in "Cluster" refuses the file: as written the map would not share its counts, or
// share them under a name or in a place the owner did not mean.
TEST(ConfigCheck, EveryClusterMistakeIsAnError) {
  struct Case {
    const char* mistake;
    json config;
    std::string key;
    std::string phrase;
  };
  json not_object = SimTest::TestConfig();
  not_object["Cluster"] = json::array();
  json beside = SimTest::TestConfig();
  beside["Clustr"] = WithCluster("MysqlPort", 3306)["Cluster"];
  const Case cases[] = {
      {"no ServerName", WithCluster("ServerName", nullptr), "Cluster.ServerName",
       "write this map's name, unique in the cluster, such as \"ServerName\": \"TheIsland\""},
      {"a ServerName with a space", WithCluster("ServerName", "The Island"), "Cluster.ServerName",
       "is a text (\"The Island\"), but must be 1 to 64 characters, each a letter, a digit"},
      {"an empty ServerName", WithCluster("ServerName", ""), "Cluster.ServerName",
       "write a name such as \"TheIsland\""},
      {"a ServerName of 65", WithCluster("ServerName", std::string(65, 'x')), "Cluster.ServerName",
       "1 to 64 characters"},
      {"a ServerName no text", WithCluster("ServerName", 7), "Cluster.ServerName",
       "is the number 7, but must be 1 to 64"},
      {"no MysqlDB", WithCluster("MysqlDB", nullptr), "Cluster.MysqlDB",
       "write the database's name, such as \"MysqlDB\": \"tamewarden\""},
      {"no MysqlUser", WithCluster("MysqlUser", nullptr), "Cluster.MysqlUser",
       "cannot log in to the database"},
      {"no host nor socket", WithCluster("MysqlHost", ""), "Cluster.MysqlHost",
       "is empty and so is MysqlSocket"},
      {"port 0", WithCluster("MysqlPort", 0), "Cluster.MysqlPort",
       "must be a whole number from 1 to 65535, the database server's port, such as 3306"},
      {"port 65536", WithCluster("MysqlPort", 65536), "Cluster.MysqlPort", "from 1 to 65535"},
      {"a port in quotes", WithCluster("MysqlPort", "3306"), "Cluster.MysqlPort",
       "write it without the quotes"},
      {"a port with a fraction", WithCluster("MysqlPort", 3306.5), "Cluster.MysqlPort",
       "a whole number"},
      {"an interval of 49", WithCluster("SyncIntervalMs", 49), "Cluster.SyncIntervalMs",
       "from 50 to 60000"},
      {"an interval of 60001", WithCluster("SyncIntervalMs", 60001), "Cluster.SyncIntervalMs",
       "such as 500"},
      {"an interval true", WithCluster("SyncIntervalMs", true), "Cluster.SyncIntervalMs",
       "is true, but must be"},
      {"a ClusterName with a slash", WithCluster("ClusterName", "a/b"), "Cluster.ClusterName",
       "write a name such as \"main\""},
      {"an empty ClusterName", WithCluster("ClusterName", ""), "Cluster.ClusterName",
       "1 to 64 characters"},
      {"a socket no text", WithCluster("MysqlSocket", 1), "Cluster.MysqlSocket",
       "a text in double quotes"},
      {"a user no text", WithCluster("MysqlUser", json::array()), "Cluster.MysqlUser",
       "is an array, but must be a text"},
      {"a password no text", WithCluster("MysqlPass", 1234), "Cluster.MysqlPass",
       "is a number, but must be a text in double quotes: write the password of MysqlUser"},
      {"the section no object", not_object, "Cluster", "write \"Cluster\": {\"ServerName\""},
      {"a key misspelt", WithCluster("MysqlPas", "x"), "Cluster.MysqlPas",
       "did you mean \"MysqlPass\"?"},
      {"a key in lower case", WithCluster("syncIntervalMs", 500), "Cluster.syncIntervalMs",
       "only in letter case"},
      {"the section misspelt", beside, "Clustr", "did you mean \"Cluster\"?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mistake);
    ExpectOneFinding(c.config, kE, c.key, c.phrase);
  }
  // A key of the section elsewhere runs, and says where it belongs.
  const std::vector<Finding> astray = CheckConfig(With(At("ServerName"), "TheIsland"));
  ASSERT_EQ(astray.size(), 1u);
  EXPECT_EQ(astray[0].severity, kW);
  EXPECT_NE(astray[0].message.find("it belongs in \"Cluster\""), std::string::npos);
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

// The README's annotated configuration, without its notes, passes the check without a finding
// and names every key the plug-in reads in each section, so the README cannot fall behind.
TEST(ConfigCheck, TheReadmesAnnotatedConfigurationIsWholeAndClean) {
  std::ifstream in(std::filesystem::path(TW_SOURCE_DIR) / "README.md");
  const std::string readme((std::istreambuf_iterator<char>(in)), {});
  const std::size_t start = readme.find("```jsonc\n");
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = readme.find("\n```", start);
  std::istringstream block(readme.substr(start + 9, end - start - 9));
  std::string text;
  for (std::string line; std::getline(block, line);) {
    if (const std::size_t note = line.find("  //"); note != std::string::npos) line.erase(note);
    text += line + "\n";
  }
  const json config = json::parse(text, nullptr, /*allow_exceptions=*/false);
  ASSERT_FALSE(config.is_discarded()) << text;
  for (const Finding& finding : CheckConfig(config)) ADD_FAILURE() << FormatFinding(finding);
  const auto names_every = [](const json& section, const auto& keys, const char* where) {
    for (const auto& key : keys) {
      EXPECT_TRUE(section.contains(std::string(key.name))) << where << "." << key.name;
    }
  };
  names_every(config, config_schema::kTopLevelKeys, "(top level)");
  names_every(config["General"], config_schema::kGeneralKeys, "General");
  names_every(config["Messages"], config_schema::kMessagesKeys, "Messages");
  names_every(config["Cluster"], config_schema::kClusterKeys, "Cluster");
}

TEST(ConfigCheck, NearestNameCatchesSlipsOnly) {
  const std::vector<std::string> keys = {"MaxAmount", "NotificationScale", "Count"};
  EXPECT_EQ(NearestName("MaxAmmount", keys), "MaxAmount");
  EXPECT_EQ(NearestName("count", keys), "Count");
  EXPECT_EQ(NearestName("Colour", keys), "");
  EXPECT_EQ(NearestName("", keys), "");
}

// The bounded distance NearestName computes (cut ends, a band, rows that stop early) suggests
// exactly what the full distance would: the first of the nearest candidates within the allowance.
TEST(ConfigCheck, NearestNameAgreesWithTheFullDistance) {
  const auto full = [](std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
      for (std::size_t j = 1; j <= b.size(); ++j)
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                            d[i - 1][j - 1] + (std::tolower(a[i - 1]) != std::tolower(b[j - 1]))});
    return d[a.size()][b.size()];
  };
  std::mt19937 random(17);
  const auto word = [&](std::size_t longest) {
    std::string text(random() % (longest + 1), ' ');
    for (char& c : text) c = "abAB/_."[random() % 7];
    return text;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string probe = word(round % 2 == 0 ? 12 : 40);
    std::vector<std::string> candidates;
    for (int i = 0; i < 8; ++i) {
      std::string candidate = probe;  // a few slips of the probe, or any word
      for (int slips = static_cast<int>(random() % 8); slips > 0; --slips) {
        const std::size_t at = random() % (candidate.size() + 1);
        const char letter = "abAB/_."[random() % 7];
        if (random() % 3 == 0 || at == candidate.size())
          candidate.insert(at, 1, letter);
        else if (random() % 2 == 0)
          candidate.erase(at, 1);
        else
          candidate[at] = letter;
      }
      candidates.push_back(random() % 3 == 0 ? word(40) : candidate);
    }
    std::string expected;
    std::size_t best = std::max<std::size_t>(2, probe.size() / 8) + 1;
    for (const std::string& candidate : candidates) {
      if (const std::size_t distance = full(probe, candidate); distance < best) {
        best = distance;
        expected = candidate;
      }
    }
    ASSERT_EQ(NearestName(probe, candidates), expected) << probe;
  }
}

}  // namespace
