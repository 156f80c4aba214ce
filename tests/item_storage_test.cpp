// Cryopods, soul traps and creature-spawning items, driven through the stand-in game.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/game_facts.h"
#include "sim/game/actions.h"
#include "tests/support/plugin_test.h"

namespace {

namespace actions = sim::actions;

constexpr int32_t kTribe = 200001;
constexpr char kCryopodPath[] =
    "/Game/Extinction/CoreBlueprints/Weapons/"
    "PrimalItem_WeaponEmptyCryopod.PrimalItem_WeaponEmptyCryopod";
constexpr char kSoulTrapPath[] = "/Game/Mods/DinoStorage2/SoulTrap_DS.SoulTrap_DS";
constexpr char kSpawnerPath[] =
    "/Game/Extinction/CoreBlueprints/Items/PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek";
constexpr char kSpawner[] =
    "Blueprint'/Game/Extinction/CoreBlueprints/Items/"
    "PrimalItem_Spawner_Mek.PrimalItem_Spawner_Mek'";

// Alice's tribe owns 3 Rexes (full) and 4 Raptors (one below the limit of 5).
class ItemStorage : public PluginTest {
 protected:
  sim::ShooterPlayerController& BootWithAlice(const nlohmann::json& config = TestConfig()) {
    for (int i = 0; i < 3; ++i) game().AddDino("rex", Kind(kRexPath), kTribe);
    for (int i = 0; i < 4; ++i) game().AddDino("raptor", Kind(kRaptorPath), kTribe);
    auto& alice = game().AddPlayer({"alice", 100001, 1, kTribe});
    Boot(config);
    return alice;
  }

  sim::Item& NewItem(const std::string& path, const std::string& name = "item") {
    return game().AddItem(name, *game().ItemClass(path));
  }
  // A cryopod whose custom data holds one entry per list of stored kinds.
  sim::Item& Cryopod(const std::vector<std::vector<const char*>>& entries,
                     const std::string& path = kCryopodPath) {
    sim::Item& item = NewItem(path, "cryopod");
    for (const auto& kinds : entries) {
      FCustomItemData data;
      for (const char* kind : kinds) data.CustomDataClasses.Add(sim::ToHost<UClass>(&Kind(kind)));
      item.custom_item_datas.Add(std::move(data));
    }
    return item;
  }
  // A soul-trap entry of `count` strings, the eleventh (if any) holding `stored`.
  static FCustomItemData SoulTrapEntry(int count, const FString& stored) {
    FCustomItemData data;
    for (int i = 0; i < count; ++i)
      data.CustomDataStrings.Add(i == game_facts::kSoulTrapPathIndex ? stored : FString("x"));
    return data;
  }
  sim::Item& SoulTrap(int count, const FString& stored, const std::string& path = kSoulTrapPath) {
    sim::Item& item = NewItem(path, "soul trap");
    item.custom_item_datas.Add(SoulTrapEntry(count, stored));
    return item;
  }
  sim::Item& Spawner(uint8_t item_type, uint8_t consumable_type) {
    sim::Item& item = NewItem(kSpawnerPath, "spawner");
    item.item_type = item_type;
    item.consumable_type = consumable_type;
    return item;
  }

  std::vector<std::string> NotificationTexts() const {
    std::vector<std::string> texts;
    for (const auto& n : Events("notification")) texts.push_back(n["text"]);
    return texts;
  }
  std::vector<std::string> UnequippedItems() const {
    std::vector<std::string> items;
    for (const auto& u : Events("unequip")) items.push_back(u["item"]);
    return items;
  }
  bool LastResultCalled() const { return Events("result").back()["called"]; }
};

using Texts = std::vector<std::string>;

TEST_F(ItemStorage, EveryFullKindInACryopodSendsItsOwnMessageAndUnequip) {
  auto config = TestConfig();
  config["Dinos"][kRaptor]["Count"] = 4;  // Raptors full too
  auto& alice = BootWithAlice(config);
  // Entries walked in order, past every refusal; the Dodo between them is allowed.
  actions::Equip(alice, Cryopod({{kRexPath}, {kDodoPath, kRaptorPath}}));

  EXPECT_TRUE(LastResultCalled());  // the equip itself always happens
  EXPECT_EQ(NotificationTexts(), Texts({"Limit reached", "Limit reached"}));
  EXPECT_EQ(UnequippedItems(), Texts({"cryopod", "cryopod"}));
  const auto first = Events("notification").front();
  EXPECT_EQ(first["player"], "alice");
  EXPECT_EQ(first["color"], nlohmann::json({1.0, 0.0, 0.0, 1.0}));
  EXPECT_EQ(first["scale"], 1.5);
  EXPECT_EQ(first["time"], 5.0);
}

TEST_F(ItemStorage, AnAllowedOrEmptyCryopodStaysEquipped) {
  auto& alice = BootWithAlice();
  sim::Item& empty = Cryopod({{}, {}});
  actions::Equip(alice, empty);
  sim::Item& raptor = Cryopod({{kRaptorPath}});
  actions::Equip(alice, raptor);

  EXPECT_TRUE(Events("notification").empty());
  EXPECT_TRUE(Events("unequip").empty());
  EXPECT_EQ(alice.character->weapon, raptor.weapon);
}

TEST_F(ItemStorage, ASoulTrapChecksTheEleventhStringOfEachEntry) {
  auto config = TestConfig();
  config["Dinos"]["Blueprint'/Game/Mods/R??x.R??x'"] = {{"Count", 0}};
  auto& alice = BootWithAlice(config);
  actions::Equip(alice, SoulTrap(10, ""));  // no eleventh string: nothing to check
  actions::Equip(alice, SoulTrap(11, kDodoPath));
  EXPECT_TRUE(Events("notification").empty());

  actions::Equip(alice, SoulTrap(11, kRexPath));
  EXPECT_EQ(NotificationTexts(), Texts({"Limit reached"}));
  EXPECT_EQ(UnequippedItems(), Texts({"soul trap"}));

  // The path comes back from UTF-8 byte by byte: each byte of "\u00eb" becomes '?'.
  actions::Equip(alice, SoulTrap(11, FString(L"/Game/Mods/R\u00ebx.R\u00ebx")));
  EXPECT_EQ(UnequippedItems(), Texts({"soul trap", "soul trap"}));
}

TEST_F(ItemStorage, ItemsAreKnownByTheirFullNameIgnoringCase) {
  auto& alice = BootWithAlice();
  actions::Equip(alice, SoulTrap(11, kRexPath, "/Game/Mods/Other/my_soultrap_ds.my_soultrap_ds"));
  actions::Equip(alice, Cryopod({{kRexPath}},
                                "/Game/Mods/Other/primalitem_weaponemptycryopod."
                                "primalitem_weaponemptycryopod"));
  // "..._Cryopod_v2_C" holds no "..._Cryopod_C".
  actions::Equip(alice, Cryopod({{kRexPath}},
                                "/Game/Mods/Other/PrimalItem_WeaponEmptyCryopod_v2."
                                "PrimalItem_WeaponEmptyCryopod_v2"));
  EXPECT_EQ(UnequippedItems(), Texts({"soul trap", "cryopod"}));

  // Anything else writes the one diagnostic line and sends nothing.
  sim::Item& saddle = NewItem("/Game/PrimalEarth/Saddles/Saddle_Rex.Saddle_Rex", "saddle");
  saddle.custom_item_datas.Add(SoulTrapEntry(11, kRexPath));
  EditConfig([](nlohmann::json& live) { live["Debug"] = true; });
  testing::internal::CaptureStdout();
  actions::Equip(alice, saddle);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Hook_AShooterCharacter_OnWeaponEquipped - itemNameFull: " + saddle.full_name + "\n");
  EXPECT_EQ(Events("unequip").size(), 2u);
}

TEST_F(ItemStorage, APlayerWithoutATeamIsNeverRefused) {
  auto config = TestConfig();
  config["General"]["MaxAmount"] = 0;  // every gain is refused, for any team that is checked
  BootWithAlice(config);
  auto& loner = game().AddPlayer({"loner", 0, 2});
  auto& newcomer = game().AddPlayer({"newcomer", 50001, 3});
  for (auto* player : {&loner, &newcomer}) {
    actions::Equip(*player, Cryopod({{kDodoPath}}));
    actions::Equip(*player, SoulTrap(11, kDodoPath));
    EXPECT_EQ(actions::Use(*player, Spawner(4, 3)), player == &loner);
  }
  EXPECT_EQ(UnequippedItems(), Texts({"cryopod", "soul trap"}));
  EXPECT_EQ(Events("notification").size(), 3u);
  for (const auto& n : Events("notification")) EXPECT_EQ(n["player"], "newcomer");
}

TEST_F(ItemStorage, OnlyCreatureSpawningConsumablesAreCheckedOnUse) {
  auto config = TestConfig();
  config["ItemMap"] = {{kSpawner, kRex}};
  auto& alice = BootWithAlice(config);
  struct Case {
    uint8_t item_type, consumable_type;
    bool allowed;
  };
  for (const Case c : {Case{4, 3, false}, Case{4, 2, true}, Case{4, 4, true}, Case{3, 3, true},
                       Case{0, 0, true}}) {
    EXPECT_EQ(actions::Use(alice, Spawner(c.item_type, c.consumable_type)), c.allowed)
        << int{c.item_type} << "/" << int{c.consumable_type};
  }
  EXPECT_EQ(NotificationTexts(), Texts({"Limit reached"}));
  EXPECT_TRUE(actions::Slot(Spawner(4, 3)));  // slotting is never checked
}

TEST_F(ItemStorage, AnItemMapEntryNamesTheCreatureAnItemSpawns) {
  auto config = TestConfig();
  config["Dinos"][kSpawner] = {{"Count", 0}};  // the item's own path is full
  config["ItemMap"] = {{kSpawner, kRaptor}};   // but it spawns a Raptor, one below the limit
  auto& alice = BootWithAlice(config);
  EXPECT_TRUE(actions::Use(alice, Spawner(4, 3)));

  EditConfig([](nlohmann::json& live) {
    live["ItemMap"] = nlohmann::json::object();
  });  // not mapped: checked under its own path
  EXPECT_FALSE(actions::Use(alice, Spawner(4, 3)));
  EXPECT_TRUE(LogTexts("error").empty());
}

// Without an "ItemMap" (which the check warns about) the item is checked under its own path; so
// it is with a broken map, which no checked file holds, and that is logged once.
// A map no checked file holds reads as no map, entry by entry.
TEST_F(ItemStorage, AMissingOrBrokenItemMapChecksTheItemUnderItsOwnPath) {
  auto config = TestConfig();
  config["Dinos"][kSpawner] = {{"Count", 0}};  // the item's own path is full
  auto& alice = BootWithAlice(config);
  const std::vector<std::pair<std::string, nlohmann::json>> broken = {
      {"missing", nullptr},
      {"an array", nlohmann::json::array({kSpawner, kRaptor})},
      {"a text", "none"},
      {"an entry that is no text", {{kSpawner, 5}}},
  };
  for (const auto& [what, item_map] : broken) {
    SCOPED_TRACE(what);
    events().Clear();
    if (item_map.is_null()) {
      EditConfig([](nlohmann::json& live) { live.erase("ItemMap"); });
    } else {
      EditConfig([&](nlohmann::json& live) { live["ItemMap"] = item_map; });
    }
    EXPECT_FALSE(actions::Use(alice, Spawner(4, 3)));
    EXPECT_EQ(NotificationTexts(), Texts({"Limit reached"}));
    EXPECT_TRUE(LogTexts("error").empty());
    EXPECT_TRUE(Events("crash").empty());
  }
}

TEST_F(ItemStorage, AFailingMessageStillRefusesAndAFailingCheckLetsTheGameDecide) {
  auto config = TestConfig();
  config["ItemMap"] = {{kSpawner, kRex}};
  auto& alice = BootWithAlice(config);
  EditConfig([](nlohmann::json& live) { live["Messages"]["ReachLimit"] = "{"; });
  actions::Equip(alice, Cryopod({{kRexPath}, {kRaptorPath}, {kRexPath}}));
  EXPECT_EQ(UnequippedItems(), Texts({"cryopod", "cryopod"}));
  EXPECT_FALSE(actions::Use(alice, Spawner(4, 3)));
  EXPECT_TRUE(Events("notification").empty());
  EXPECT_EQ(LogTexts("error").size(), 3u);

  game().set_failing("UObjectBaseUtility.GetFullName");  // the check itself fails
  events().Clear();
  actions::Equip(alice, Cryopod({{kRexPath}}));
  EXPECT_TRUE(actions::Use(alice, Spawner(4, 3)));
  EXPECT_TRUE(Events("unequip").empty());
  EXPECT_EQ(LogTexts("error").size(), 2u);
  EXPECT_TRUE(Events("crash").empty());
}

TEST_F(ItemStorage, UseWritesItsDiagnosticLinesInOrder) {
  auto config = TestConfig();
  config["ItemMap"] = {{kSpawner, kRex}};
  auto& alice = BootWithAlice(config);
  sim::Item& spawner = Spawner(4, 3);
  EditConfig([](nlohmann::json& live) { live["Debug"] = true; });
  testing::internal::CaptureStdout();
  actions::Use(alice, spawner);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::vector<std::string> expected = {
      "Hook_UPrimalItem_AllowUseInInventory\n"
      "bIsRemoteInventory: false\n"
      "DontCheckActor: false\n"
      "MyItemTypeField 4\n"
      "MyConsumableTypeField: 3\n"
      "Hook_UPrimalItem_AllowUseInInventory: path_name: " +
          std::string(kSpawner) + "\n",
      "Hook_UPrimalItem_AllowUseInInventory: team_id 200001\n",
      "Hook_UPrimalItem_AllowUseInInventory path_name: " + std::string(kRex) + "\n",
      "Hook_UPrimalItem_AllowUseInInventory: Dino spawn prevented!\n",
  };
  std::size_t at = 0;
  for (const auto& lines : expected) {
    const std::size_t found = out.find(lines, at);
    ASSERT_NE(found, std::string::npos) << lines << "in\n" << out;
    at = found + lines.size();
  }
  EXPECT_TRUE(out.starts_with(expected[0])) << out;
}

}  // namespace
