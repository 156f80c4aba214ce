// The property that makes the configuration check worth having: every configuration derived from
// the shipped one by one change (a key dropped, a value of each JSON type, numbers out of range,
// broken templates, deep nesting) goes through every road of the plug-in in the default world,
// once loaded at start and once reloaded into a running server. A configuration the check
// refuses never loads and never replaces the running one; one it passes never makes a road fail
// with an error line; and nothing ever escapes into the game.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/config_check.h"
#include "sim/tool/embedded.h"
#include "tests/support/script_test.h"

namespace {

using nlohmann::json;

// Every hook and command, allowing and refusing, in the default world; the first part runs
// before a reload.
const std::vector<std::string> kBeforeReload = {
    "tame alice wild_rex1",
    "claim dave wild_quetz",
};
const std::string kGiga =
    "/Game/PrimalEarth/Dinos/Giganotosaurus/Gigant_Character_BP.Gigant_Character_BP";
const std::vector<std::string> kRoads = {
    "tame carol wild_giga1",
    "tame carol wild_giga2",  // her second of two: told at once
    "equip carol trap_giga",  // refused from here on
    "spawn carol Blueprint'" + kGiga + "'",
    "request_download carol " + kGiga,
    "netexec carol ServerRequestClone wild_giga1",
    "spawn dave Blueprint'" + kGiga + "'",  // a wild one
    "download dave " + kGiga,
    "download alice " + kGiga,
    "download alice " + kGiga,
    "console alice UpdateDinos",
    "invite dave carol",  // refused: three of a kind limited to two
    "merge alice dave",   // refused: the same
    "tame alice wild_rex2",
    "claim dave wild_raptor1",
    "unclaim dave wild_raptor1",
    "multiuse bob raiders_rex 7",
    "die raiders_raptor",
    "destroy herders_para",
    "equip alice cryo_rex",
    "use alice enforcer_kit",
    "use carol mek_kit",
    "slot mek_kit",
    "request_download bob /Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP",
    "download bob /Game/PrimalEarth/Dinos/Raptor/Raptor_Character_BP.Raptor_Character_BP",
    "init_downloaded wild_dodo1 200002",
    "clone dave cloning_chamber",
    "netexec dave ServerRequestClone chamber_stego",
    "create_tribe erin 300001",
    "chat alice /limits",
    "chat carol /limits",
    "rcon UpdateDinos",
    "aim alice wild_rex3",
    "console alice GetDinoBp",
    "console alice tw.reload",
    "rcon tw.reload",
};

struct Variant {
  std::string name;
  std::string text;  // as written to the file: deep nesting is never built as a value
};

// The places a change is made: every key of the shipped configuration, but of "Dinos" and
// "ItemMap" only the first member (the others take the same roads).
std::vector<json::json_pointer> Places(const json& base) {
  std::vector<json::json_pointer> places;
  std::vector<json::json_pointer> pending{json::json_pointer()};
  while (!pending.empty()) {
    const json::json_pointer at = pending.back();
    pending.pop_back();
    const json& value = base[at];
    if (!value.is_object()) continue;
    for (auto it = value.begin(); it != value.end(); ++it) {
      places.push_back(at / it.key());
      pending.push_back(at / it.key());
      if (at.to_string() == "/Dinos" || at.to_string() == "/ItemMap") break;
    }
  }
  return places;
}

std::vector<Variant> Variants() {
  const json base = json::parse(sim::tool::kDefaultConfig);
  const json kValues[] = {nullptr,       true,          7, -3, 2.5, 3000000000u, -1e10, "20", "{",
                          json::array(), json::object()};
  std::vector<Variant> variants;
  for (const json::json_pointer& at : Places(base)) {
    json dropped = base;
    dropped[at.parent_pointer()].erase(at.back());
    variants.push_back({at.to_string() + " dropped", dropped.dump()});
    for (const json& value : kValues) {
      json changed = base;
      changed[at] = value;
      variants.push_back({at.to_string() + " = " + value.dump(), changed.dump()});
    }
  }
  // Tiers: the default world's alice is an "Admins" member, so the first tier is hers.
  json tiered = base;
  const std::string kind = tiered["Dinos"].begin().key();
  tiered["Tiers"] = {
      {{"Group", "Admins"}, {"MaxAmount", 200}, {"Dinos", {{kind, {{"Count", 12}}}}}},
      {{"Group", "Staff"}, {"Unlimited", true}}};
  variants.push_back({"tiers", tiered.dump()});
  const json::json_pointer tier = json::json_pointer("/Tiers/0");
  for (const json::json_pointer& at :
       {json::json_pointer("/Tiers"), tier, tier / "Group", tier / "MaxAmount", tier / "Dinos",
        tier / "Dinos" / kind, tier / "Dinos" / kind / "Count",
        json::json_pointer("/Tiers/1/Unlimited")}) {
    for (const json& value : kValues) {
      json changed = tiered;
      changed[at] = value;
      variants.push_back({at.to_string() + " = " + value.dump(), changed.dump()});
    }
  }
  for (const char* key : {"ShowLimitMsg", "TotalLimitMsg", "ReachLimit", "Sender"}) {
    for (const char* text : {"{3}", "{1:>10000000}", "{0:{1}}", "{{0}}", "}", "{0:d}"}) {
      json changed = base;
      changed["Messages"][key] = text;
      variants.push_back({std::string(key) + " = " + text, changed.dump()});
    }
  }
  // 100,000 levels of nesting in a display name, as text: any recursive copy of it would
  // exhaust the stack.
  json marked = base;
  marked["Dinos"].begin()->at("Name") = "@deep@";
  std::string deep = marked.dump();
  deep.replace(deep.find("\"@deep@\""), 8, std::string(100000, '[') + std::string(100000, ']'));
  variants.push_back({"a deeply nested Name", deep});
  return variants;
}

class ConfigProperty : public ScriptTest {
 protected:
  ConfigProperty() : ScriptTest(sim::tool::kDefaultWorld) {}

  // Runs one variant in a fresh server: loaded at start, or reloaded over the shipped config.
  void Play(const Variant& variant, bool at_reload) {
    SCOPED_TRACE(variant.name + (at_reload ? " (reload)" : " (load)"));
    const json parsed = json::parse(variant.text);
    const bool refused = CountFindings(CheckConfig(parsed), Severity::kError) > 0;
    Restart();
    // The property is about config.json alone: no earlier run's last good file to fall back to.
    std::filesystem::remove(server().ConfigPath().replace_filename("config.last-good.json"));
    // What the players see of their counts and limits.
    const auto observed = [&] {
      events().Clear();
      Run({"chat alice /limits", "chat dave /limits", "chat carol /limits", "chat erin /limits"});
      std::vector<std::string> texts;
      for (const json& event : events().all()) {
        if (event.contains("text")) texts.push_back(event["text"]);
      }
      return texts;
    };

    if (!at_reload) {
      WriteConfigText(variant.text);
      Run({"start", "load"});
      const auto loads = Events("load");
      ASSERT_EQ(loads.size(), 1u);
      EXPECT_EQ(loads[0]["ok"], !refused);
      if (refused) return ExpectNoCrash();
    } else {
      WriteConfigText(sim::tool::kDefaultConfig);
      Run({"start", "load"});
      Run(kBeforeReload);
      const std::vector<std::string> before = observed();
      events().Clear();
      WriteConfigText(variant.text);
      const std::string answer = runner().RunRcon("tw.reload", 1);
      EXPECT_EQ(answer.starts_with("Reloaded config\n"), !refused) << answer;
      if (refused) {
        EXPECT_EQ(observed(), before);
        return ExpectNoCrash();
      }
    }
    events().Clear();
    Run(kRoads);
    for (const json& event : Events("log")) EXPECT_NE(event["level"], "error") << event["text"];
    EXPECT_TRUE(Events("error").empty()) << Events("error")[0];
    ExpectNoCrash();
  }

  void ExpectNoCrash() {
    for (const json& crash : Events("crash")) ADD_FAILURE() << crash.dump();
  }
};

TEST_F(ConfigProperty, RefusedNeverLiveAndPassedNeverFail) {
  const std::vector<Variant> variants = Variants();
  testing::internal::CaptureStdout();  // the diagnostic lines of "Debug": true
  for (const Variant& variant : variants) {
    Play(variant, /*at_reload=*/false);
    Play(variant, /*at_reload=*/true);
  }
  testing::internal::GetCapturedStdout();
  RecordProperty("variants", static_cast<int>(variants.size()));
}

}  // namespace
