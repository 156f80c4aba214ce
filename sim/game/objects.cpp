#include "sim/game/objects.h"

#include <string_view>

namespace sim {
namespace {

// A class of the game's native code, alive for the whole process.
template <typename T>
Class* NativeClass(std::string_view name, Class* super) {
  auto* cls = new Class();  // never freed: native classes outlive every world
  cls->super = super;
  cls->class_name = name;
  cls->name = std::string(name);
  cls->full_name = "Class /Script/ShooterGame." + cls->class_name;
  cls->default_full_name = cls->class_name + " /Script/ShooterGame.Default__" + cls->class_name;
  cls->make = [] { return std::unique_ptr<Object>(new T()); };
  return cls;
}

}  // namespace

bool Object::IsA(const Class* of) const {
  for (const Class* c = FromHost<Class>(cls); c != nullptr; c = c->super) {
    if (c == of) return true;
  }
  return false;
}

bool Class::IsChildOf(const Class* base) const {
  for (const Class* c = this; c != nullptr; c = c->super) {
    if (c == base) return true;
  }
  return false;
}

Class* Class::StaticClass() {
  static Class* const cls = [] {
    Class* c = NativeClass<Class>("Class", nullptr);
    c->cls = ToHost<UClass>(c);
    return c;
  }();
  return cls;
}

#define SIM_NATIVE_CLASS(Type, Name, Super)          \
  Class* Type::StaticClass() {                       \
    static Class* const cls = [] {                   \
      Class* c = NativeClass<Type>(Name, Super);     \
      c->cls = ToHost<UClass>(Class::StaticClass()); \
      return c;                                      \
    }();                                             \
    return cls;                                      \
  }
SIM_NATIVE_CLASS(Object, "Object", nullptr)
SIM_NATIVE_CLASS(SceneComponent, "SceneComponent", Object::StaticClass())
SIM_NATIVE_CLASS(Actor, "Actor", Object::StaticClass())
SIM_NATIVE_CLASS(Character, "PrimalCharacter", Actor::StaticClass())
SIM_NATIVE_CLASS(Dino, "PrimalDinoCharacter", Character::StaticClass())
SIM_NATIVE_CLASS(Survivor, "ShooterCharacter", Character::StaticClass())
SIM_NATIVE_CLASS(PlayerState, "PlayerState", Actor::StaticClass())
SIM_NATIVE_CLASS(ShooterPlayerState, "ShooterPlayerState", PlayerState::StaticClass())
SIM_NATIVE_CLASS(Controller, "Controller", Actor::StaticClass())
SIM_NATIVE_CLASS(PlayerController, "PlayerController", Controller::StaticClass())
SIM_NATIVE_CLASS(ShooterPlayerController, "ShooterPlayerController",
                 PlayerController::StaticClass())
SIM_NATIVE_CLASS(Item, "PrimalItem", Object::StaticClass())
SIM_NATIVE_CLASS(Weapon, "ShooterWeapon", Actor::StaticClass())
SIM_NATIVE_CLASS(Structure, "PrimalStructure", Actor::StaticClass())
SIM_NATIVE_CLASS(Level, "Level", Object::StaticClass())
SIM_NATIVE_CLASS(World, "World", Object::StaticClass())
SIM_NATIVE_CLASS(GameMode, "ShooterGameMode", Actor::StaticClass())
SIM_NATIVE_CLASS(GameState, "ShooterGameState", Actor::StaticClass())
#undef SIM_NATIVE_CLASS

}  // namespace sim
