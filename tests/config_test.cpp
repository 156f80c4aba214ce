// The configuration file as the plug-in reads it: the all-or-nothing read, message texts and the
// diagnostic switch.
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/config.h"
#include "base/debug.h"
#include "base/logger.h"
#include "tests/support/sim_test.h"

namespace {

class Config : public SimTest {
 protected:
  Config() {
    InstallConfig(nullptr);
    CreateLogger();
  }
  ~Config() override { LoggerHolder().reset(); }

  // Reads the file and returns the error text, or "" when the read succeeded.
  std::string Read() {
    try {
      ReadConfig();
      return "";
    } catch (const std::exception& error) {
      return error.what();
    }
  }
};

TEST_F(Config, AMissingFileFailsAndChangesNothing) {
  WriteConfig(TestConfig());
  ASSERT_EQ(Read(), "");
  std::filesystem::remove(server().ConfigPath());
  EXPECT_EQ(Read(), "Can't open config.json");
  EXPECT_EQ(LogTexts("error"),
            (std::vector<std::string>{"Can't open config.json",
                                      "there is no file at " + server().ConfigPath().string()}));
  EXPECT_EQ(PluginConfig(), TestConfig());
}

TEST_F(Config, AFailedReadKeepsTheDocumentAndTheAdminFlag) {
  auto config = TestConfig();
  config["General"]["IgnoreAdmin"] = true;
  WriteConfig(config);
  ASSERT_EQ(Read(), "");
  ASSERT_TRUE(CurrentSettings().general.ignore_admin);

  struct Case {
    std::string text;
    std::string error_start;
  };
  const Case cases[] = {
      {R"({"General": {"IgnoreAdmin": false}, "Messages": {)", "[json.exception.parse_error."},
      {R"("just a string")",
       "[json.exception.type_error.305] cannot use operator[] with a string argument with string"},
      {R"({"Messages": {}})", "[json.exception.type_error.306] cannot use value() with null"},
      {R"({"General": {"IgnoreAdmin": "no"}, "Messages": {}})",
       "[json.exception.type_error.302] type must be boolean, but is string"},
      // Refused before the whole file is read, so no file costs the game thread much time or
      // memory: an unclosed nesting stops the parse at its bound, a file too large is not read.
      {std::string(1'000'000, '['),
       "config.json nests objects and arrays deeper than 1000 levels, and the plug-in stopped "
       "reading it there"},
      {R"({"General": {}, "Messages": {}})" + std::string(9 << 20, ' '),
       "config.json holds 9437215 bytes, more than the 8 MB the plug-in reads"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WriteConfigText(c.text);
    EXPECT_EQ(Read().substr(0, c.error_start.size()), c.error_start);
    EXPECT_EQ(PluginConfig(), config);
    EXPECT_TRUE(CurrentSettings().general.ignore_admin);
  }
}

TEST_F(Config, TheSmallestDocumentLoadsAndTextAfterTheFirstValueIsIgnored) {
  // Without MaxAmount every tame would be refused: the smallest document has it.
  WriteConfigText(R"({"General": {}, "Messages": {}})");
  EXPECT_NE(Read(), "");  // refused
  WriteConfigText(R"({"General": {"MaxAmount": 10}, "Messages": {}})");
  EXPECT_EQ(Read(), "");
  EXPECT_FALSE(CurrentSettings().general.ignore_admin);
  EXPECT_EQ(CurrentSettings().messages.Text("ShowLimitCmd"), L"No message");

  WriteConfigText(
      R"({"General": {"IgnoreAdmin": true, "MaxAmount": 10}, "Messages": {}} {"General": 1} garbage)");
  EXPECT_EQ(Read(), "");
  EXPECT_TRUE(CurrentSettings().general.ignore_admin);
}

// Every reader finds its value in the settings read once at install: texts decoded from UTF-8,
// numbers clamped, and anything missing, or of a type no checked file holds, as if not written.
TEST_F(Config, SettingsReadEachKeyOnceAndMistypedValuesAsMissing) {
  InstallConfig({{"General",
                  {{"IgnoreAdmin", "yes"},
                   {"MaxAmount", 99999999999},
                   {"NotificationScale", 1.5},
                   {"LogRefusals", false}}},
                 {"Messages", {{"ReachLimit", ""}, {"Sender", "caf\xC3\xA9"}, {"ShowLimitCmd", 5}}},
                 {"Dinos", {{kRex, {{"Count", 2.9}, {"Name", "Rex"}}}, {kDodo, {{"Count", "3"}}}}},
                 {"ItemMap", {{"a", "b"}, {"c", 1}}},
                 {"Tiers", {{{"Group", "VIP"}, {"MaxAmount", 5}}, {{"Group", ""}}, 7}}});
  const Settings& settings = CurrentSettings();
  EXPECT_FALSE(settings.general.ignore_admin);
  EXPECT_EQ(settings.general.max_amount, 2147483647);
  EXPECT_FALSE(settings.general.Refusal());  // a scale without a display time shows nothing
  EXPECT_FALSE(settings.general.log_refusals);
  EXPECT_EQ(settings.messages.Text("ReachLimit"), L"");
  EXPECT_EQ(settings.messages.Text("Sender"), L"caf\u00e9");
  EXPECT_EQ(settings.messages.Text("ShowLimitCmd"), L"No message");
  ASSERT_EQ(settings.kinds.size(), 2u);
  EXPECT_EQ(settings.kinds[0].first, kDodo);
  EXPECT_FALSE(settings.kinds[0].second.count);
  EXPECT_EQ(settings.kinds[1].second.count, 2);
  EXPECT_EQ(settings.kinds[1].second.name, L"Rex");
  EXPECT_EQ(settings.item_map, (std::map<std::string, std::string, std::less<>>{{"a", "b"}}));
  ASSERT_EQ(settings.tiers.size(), 1u);
  EXPECT_EQ(settings.tiers[0].group, "VIP");
  EXPECT_EQ(settings.tiers[0].max_amount, 5);

  InstallConfig({{"General", nlohmann::json::object()}});  // no Messages: every text is missing
  EXPECT_EQ(CurrentSettings().messages.Text("Sender"), L"No message");
}

// "Cluster" read into its record: absent without the section, defaults for the keys it lacks,
// every key where written; any changed key makes a record that compares unequal (a reconnect).
TEST_F(Config, ClusterSettingsReadWithTheirDefaults) {
  InstallConfig(TestConfig());
  EXPECT_FALSE(CurrentSettings().cluster);
  EXPECT_EQ(ConfigSummary(0), "Config: 2 kinds, 0 item mappings, 0 warnings");

  nlohmann::json config = TestConfig();
  config["Cluster"] = {{"ServerName", "TheIsland"}, {"MysqlUser", "u"}, {"MysqlDB", "d"}};
  InstallConfig(config);
  ASSERT_TRUE(CurrentSettings().cluster);
  const ClusterSettings defaults = *CurrentSettings().cluster;
  EXPECT_EQ(defaults, (ClusterSettings{.server_name = "TheIsland", .user = "u", .database = "d"}));
  EXPECT_EQ(defaults.host, "127.0.0.1");
  EXPECT_EQ(defaults.port, 3306);
  EXPECT_EQ(defaults.password, "");
  EXPECT_EQ(defaults.socket, "");
  EXPECT_EQ(defaults.cluster_name, "default");
  EXPECT_EQ(defaults.sync_interval_ms, 500);
  EXPECT_EQ(ConfigSummary(1),
            "Config: 2 kinds, 0 item mappings, 1 warning, cluster \"default\" as \"TheIsland\"");

  config["Cluster"] = {{"ServerName", "Aberration"},
                       {"MysqlHost", "db.lan"},
                       {"MysqlPort", 3307},
                       {"MysqlUser", "tw"},
                       {"MysqlPass", "pw"},
                       {"MysqlDB", "counts"},
                       {"MysqlSocket", "/run/m.sock"},
                       {"ClusterName", "main"},
                       {"SyncIntervalMs", 750}};
  InstallConfig(config);
  const ClusterSettings all = *CurrentSettings().cluster;
  EXPECT_EQ(all, (ClusterSettings{"Aberration", "db.lan", 3307, "tw", "pw", "counts", "/run/m.sock",
                                  "main", 750}));
  EXPECT_EQ(ConfigSummary(0),
            "Config: 2 kinds, 0 item mappings, 0 warnings, cluster \"main\" as \"Aberration\"");
  EXPECT_EQ(ConfigSummary(0).find("pw"), std::string::npos);
  const nlohmann::json others = {
      {"ServerName", "X"},  {"MysqlHost", "h"},   {"MysqlPort", 1},
      {"MysqlUser", "x"},   {"MysqlPass", "x"},   {"MysqlDB", "x"},
      {"MysqlSocket", "x"}, {"ClusterName", "x"}, {"SyncIntervalMs", 60}};
  for (const auto& [key, value] : others.items()) {
    nlohmann::json changed = config;
    changed["Cluster"][key] = value;
    EXPECT_NE(ReadSettings(changed).cluster, all) << key;
  }
  config["Cluster"] = "no object";  // no checked file holds it: read as no section
  EXPECT_FALSE(ReadSettings(config).cluster);
}

// Counts how often it is formatted.
struct FormatProbe {
  int* formatted;
};

}  // namespace

template <>
struct fmt::formatter<FormatProbe> : fmt::formatter<int> {
  auto format(const FormatProbe& probe, fmt::format_context& context) const {
    return fmt::formatter<int>::format(++*probe.formatted, context);
  }
};

namespace {

TEST_F(Config, DiagnosticLinesGoToStandardOutputOnlyWhileDebugIsOn) {
  int formatted = 0;
  InstallConfig({{"Debug", false}});
  testing::internal::CaptureStdout();
  LogDebug("UpdateDinoCount: team_id: {}", FormatProbe{&formatted});
  LogDebug(std::string("a preformatted line"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(formatted, 0);  // nothing is formatted while the switch is off

  InstallConfig({{"Debug", true}});
  testing::internal::CaptureStdout();
  LogDebug("UpdateDinoCount: team_id: {}", FormatProbe{&formatted});
  LogDebug(std::string("a preformatted line"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "UpdateDinoCount: team_id: 1\na preformatted line\n");
  EXPECT_TRUE(Events("log").empty());  // never in the plug-in log

  // Missing, or no boolean: off, and never an exception that would reach a detour's caller.
  for (const nlohmann::json& config :
       {nlohmann::json::object(), nlohmann::json{{"Debug", "yes"}}, nlohmann::json{{"Debug", 1}},
        nlohmann::json(nullptr), nlohmann::json::array()}) {
    InstallConfig(config);
    testing::internal::CaptureStdout();
    EXPECT_NO_THROW(LogDebug("switch {}", config.dump()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  }
}

}  // namespace
