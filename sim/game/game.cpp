#include "sim/game/game.h"

#include <algorithm>
#include <stdexcept>

#include <fmt/format.h>

#include "host/game_facts.h"
#include "host/game_text.h"
#include "sim/framework/text.h"

namespace sim {
namespace {

constexpr char kLevelPath[] = "/Game/Maps/TheIslandSubMaps/TheIsland.TheIsland:PersistentLevel";

// A blueprint X at /Game/.../X.X makes the class X_C, whose default object is Default__X_C.
constexpr std::string_view kClassSuffix = "_C";
constexpr std::string_view kDefaultPrefix = "Default__";

std::string ClassName(std::string_view object) { return std::string(object).append(kClassSuffix); }
// The full name of the default object of the class that the blueprint package.object makes.
std::string DefaultName(std::string_view package, std::string_view object) {
  return fmt::format("{0} {1}.{2}{0}", ClassName(object), package, kDefaultPrefix);
}

// The kind path of a class, from its default object's full name: everything after the first
// space, without a trailing "_C" and without "Default__".
std::string KindPathFromDefaultName(std::string_view full) {
  const auto space = full.find(' ');
  if (space == std::string_view::npos) return "";
  std::string mid(full.substr(space + 1));
  if (mid.ends_with(kClassSuffix)) mid.resize(mid.size() - kClassSuffix.size());
  for (auto at = mid.find(kDefaultPrefix); at != std::string::npos;
       at = mid.find(kDefaultPrefix, at)) {
    mid.erase(at, kDefaultPrefix.size());
  }
  return game_text::Wrap(mid);
}

}  // namespace

void Game::FailIfSet(const char* function) const {
  if (failing_ == function) throw std::runtime_error(std::string(function) + " failed");
}

Game::Game() {
  world_ = &Make<World>(*World::StaticClass(), "TheIsland",
                        "World /Game/Maps/TheIslandSubMaps/TheIsland.TheIsland");
  level_ =
      &Make<Level>(*Level::StaticClass(), "PersistentLevel", std::string("Level ") + kLevelPath);
  world_->persistent_level = ToHost<ULevel>(level_);
  game_mode_ = &MakeActor<GameMode>(*GameMode::StaticClass(), "GameMode");
  game_state_ = &MakeActor<GameState>(*GameState::StaticClass(), "GameState");
}

template <typename T>
T& Game::Make(Class& cls, std::string name, std::string full_name) {
  std::unique_ptr<Object> made = cls.make();
  auto* object = dynamic_cast<T*>(made.get());
  if (object == nullptr)
    throw std::logic_error("class " + cls.class_name + " makes no such object");
  object->cls = ToHost<UClass>(&cls);
  object->name = std::move(name);
  object->full_name = std::move(full_name);
  objects_.push_back(std::move(made));
  return *object;
}

std::string Game::NextName(const Class& cls) {
  return cls.class_name + "_" + std::to_string(++next_serial_);
}

template <typename T>
T& Game::MakeActor(Class& cls, std::string name, FVector at) {
  const std::string object_name = NextName(cls);
  T& actor = Make<T>(cls, std::move(name), cls.class_name + " " + kLevelPath + "." + object_name);
  auto& root = Make<SceneComponent>(
      *SceneComponent::StaticClass(), actor.name + ".Root",
      "SceneComponent " + std::string(kLevelPath) + "." + object_name + ".DefaultSceneRoot");
  root.relative_location = at;
  actor.root_component = ToHost<USceneComponent>(&root);
  level_->actors.Add(ToHost<AActor>(&actor));
  return actor;
}

Class& Game::MakeClass(std::string class_name, std::string package, Class* super,
                       std::string default_full_name, std::string kind_path) {
  auto cls = std::make_unique<Class>();
  cls->cls = ToHost<UClass>(Class::StaticClass());
  cls->name = class_name;
  cls->full_name = "BlueprintGeneratedClass " + package + "." + class_name;
  cls->class_name = std::move(class_name);
  cls->super = super;
  cls->make = super->make;
  cls->default_full_name = std::move(default_full_name);
  cls->kind_path = std::move(kind_path);
  Class& made = *cls;
  classes_.emplace(made.default_full_name, std::move(cls));
  return made;
}

Class* Game::BlueprintClass(std::string_view path, Class* super) {
  std::string package, object;
  if (!SplitObjectPath(path, package, object)) return nullptr;
  const std::string default_name = DefaultName(package, object);
  if (const auto it = classes_.find(default_name); it != classes_.end()) return it->second.get();
  return &MakeClass(ClassName(object), package, super, default_name,
                    super == Dino::StaticClass() ? game_text::Wrap(package + "." + object) : "");
}

Class* Game::CreatureClass(std::string_view kind) {
  return BlueprintClass(kind, Dino::StaticClass());
}

Class& Game::CreatureClassNamed(std::string_view default_full_name) {
  if (const auto it = classes_.find(default_full_name); it != classes_.end()) return *it->second;
  const std::string full(default_full_name);
  const std::string class_name = full.substr(0, full.find(' '));
  return MakeClass(class_name, "/Game/Named", Dino::StaticClass(), full,
                   KindPathFromDefaultName(full));
}

Class* Game::ItemClass(std::string_view path) { return BlueprintClass(path, Item::StaticClass()); }

int32_t Game::TeamOf(const ShooterPlayerController& player) {
  const auto* state = FromHost<ShooterPlayerState>(player.player_state);
  return state->tribe.tribe_id != 0 ? state->tribe.tribe_id : state->player_id;
}

FVector Game::LocationOf(const Actor* actor) {
  if (actor == nullptr || actor->root_component == nullptr) return {};
  return FromHost<SceneComponent>(actor->root_component)->relative_location;
}

ShooterPlayerController& Game::AddPlayer(const PlayerSpec& who) {
  auto& state = MakeActor<ShooterPlayerState>(*ShooterPlayerState::StaticClass(), who.name);
  state.player_id = who.id;
  state.player_name = FromUtf8(who.name);
  state.tribe.tribe_id = who.tribe;
  if (who.tribe != 0) state.tribe.tribe_name = FString("Tribe " + std::to_string(who.tribe));
  auto& controller =
      MakeActor<ShooterPlayerController>(*ShooterPlayerController::StaticClass(), who.name);
  controller.player_state = ToHost<APlayerState>(&state);
  controller.steam_id = who.steam_id;
  controller.dead = who.dead;
  state.controller = &controller;
  auto& body = MakeActor<Survivor>(*Survivor::StaticClass(), who.name);
  body.controller = &controller;
  body.set_dead(who.dead);
  controller.character = &body;
  controller.targeting_team = body.targeting_team = state.targeting_team = TeamOf(controller);
  players_.push_back(&controller);
  return controller;
}

Dino& Game::AddDino(std::string name, Class& kind, int32_t team, FVector at) {
  auto& dino = MakeActor<Dino>(kind, std::move(name), at);
  dino.targeting_team = dino.taming_team_id = team;
  return dino;
}

Dino& Game::SpawnDino(Class& kind, int32_t team, FVector at) {
  return AddDino(NextName(kind), kind, team, at);
}

Structure& Game::AddStructure(std::string name, FVector at) {
  return MakeActor<Structure>(*Structure::StaticClass(), std::move(name), at);
}

Actor& Game::AddActor(std::string name) {
  return MakeActor<Actor>(*Actor::StaticClass(), std::move(name));
}

Item& Game::AddItem(std::string name, Class& cls) {
  return Make<Item>(cls, std::move(name), cls.class_name + " /Engine/Transient." + NextName(cls));
}

Weapon& Game::AddWeapon(Item& item) {
  auto& weapon = MakeActor<Weapon>(*Weapon::StaticClass(), item.name);
  weapon.associated_item = ToHost<UPrimalItem>(&item);
  return weapon;
}

void Game::AddNullActor() { level_->actors.Add(nullptr); }

void Game::RemoveFromLevel(Actor& actor) {
  auto& actors = level_->actors;
  for (int32_t i = 0; i < actors.Num(); ++i) {
    if (actors[i] == ToHost<AActor>(&actor)) {
      actors.RemoveAt(i);
      break;
    }
  }
  actor.destroyed = true;
}

std::map<int32_t, std::map<std::string, int>> Game::Truth() const {
  std::map<int32_t, std::map<std::string, int>> truth;
  for (AActor* slot : level_->actors) {
    auto* actor = FromHost<Actor>(slot);
    if (actor == nullptr || !actor->IsA(Dino::StaticClass())) continue;
    auto* dino = static_cast<Dino*>(actor);
    if (dino->dead() || !game_facts::IsPlayerTeam(dino->targeting_team)) continue;
    ++truth[dino->targeting_team][FromHost<Class>(dino->cls)->kind_path];
  }
  return truth;
}

}  // namespace sim
