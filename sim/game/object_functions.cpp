#include <cmath>
#include <cstdlib>

#include "sim/framework/text.h"
#include "sim/game/functions.h"
#include "sim/game/names.h"
#include "sim/server.h"

// The game's functions over objects, classes and names, and its allocator.
namespace sim::game_functions {
namespace {

Object* Checked(const void* object, const char* function) {
  if (object == nullptr) Fault(std::string(function) + " called on a null object");
  return FromHost<Object>(object);
}

}  // namespace

void* Malloc(std::size_t bytes, uint32_t) { return std::malloc(bytes == 0 ? 1 : bytes); }
void* Realloc(void* pointer, std::size_t bytes) {
  return std::realloc(pointer, bytes == 0 ? 1 : bytes);
}
void Free(void* pointer) { std::free(pointer); }

bool IsA(UObjectBaseUtility* object, UClass* cls) {
  Server::Current().game().FailIfSet("UObjectBaseUtility.IsA");
  return Checked(object, "UObjectBaseUtility.IsA")->IsA(FromHost<Class>(cls));
}

void GetFullName(UObjectBaseUtility* object, FString* out, UObject*) {
  Server::Current().game().FailIfSet("UObjectBaseUtility.GetFullName");
  *out = FromUtf8(Checked(object, "UObjectBaseUtility.GetFullName")->full_name);
}

UObject* GetDefaultObject(UClass* cls, bool create_if_needed) {
  auto* c = static_cast<Class*>(Checked(cls, "UClass.GetDefaultObject"));
  if (c->default_object == nullptr && create_if_needed) {
    c->default_object = c->make();
    c->default_object->cls = cls;
    c->default_object->full_name = c->default_full_name;
    c->default_object->name = "Default__" + c->class_name;
  }
  return ToHost<UObject>(c->default_object.get());
}

UClass* DinoStaticClass() { return ToHost<UClass>(Dino::StaticClass()); }

AController* GetOwnerController(AActor* actor) {
  Server::Current().game().FailIfSet("AActor.GetOwnerController");
  Object* object = Checked(actor, "AActor.GetOwnerController");
  if (object->IsA(ShooterPlayerState::StaticClass()))
    return ToHost<AController>(static_cast<ShooterPlayerState*>(object)->controller);
  if (object->IsA(Survivor::StaticClass()))
    return ToHost<AController>(static_cast<Survivor*>(object)->controller);
  if (object->IsA(Controller::StaticClass())) return ToHost<AController>(object);
  return nullptr;
}

bool IsInTribe(AShooterPlayerState* state) {
  return static_cast<ShooterPlayerState*>(Checked(state, "AShooterPlayerState.IsInTribe"))
             ->tribe.tribe_id != 0;
}

AShooterCharacter* GetPlayerCharacter(AShooterPlayerController* controller) {
  return ToHost<AShooterCharacter>(
      static_cast<ShooterPlayerController*>(
          Checked(controller, "AShooterPlayerController.GetPlayerCharacter"))
          ->character);
}

AActor* GetAimedActor(APrimalCharacter* character, int32_t channel, UActorComponent** hit_component,
                      float max_distance, float check_radius, int32_t* hit_body_index,
                      FHitResult* out_hit, bool force_use_camera, bool ignore_selected,
                      bool use_view) {
  auto* survivor = static_cast<Survivor*>(Checked(character, "APrimalCharacter.GetAimedActor"));
  survivor->last_aim_query = {channel,          hit_component != nullptr,  max_distance,
                              check_radius,     hit_body_index != nullptr, out_hit != nullptr,
                              force_use_camera, ignore_selected,           use_view};
  return ToHost<AActor>(survivor->aimed);
}

bool SphereOverlapActors(UObject* world_context, FVector centre, float radius, TArray<uint8_t>*,
                         UClass* class_filter, TArray<AActor*>* ignore,
                         TArray<AActor*>* out_actors) {
  // The engine searches the world it is given; the stand-in has only the one.
  if (world_context != ToHost<UObject>(&Server::Current().game().world())) return false;
  const Class* filter = FromHost<Class>(class_filter);
  for (AActor* slot : Server::Current().game().level().actors) {
    auto* actor = FromHost<Actor>(slot);
    if (actor == nullptr || (filter != nullptr && !actor->IsA(filter))) continue;
    if (ignore != nullptr && std::find(ignore->begin(), ignore->end(), slot) != ignore->end())
      continue;
    if (actor->root_component == nullptr) continue;
    const FVector at = FromHost<SceneComponent>(actor->root_component)->relative_location;
    const float dx = at.X - centre.X, dy = at.Y - centre.Y, dz = at.Z - centre.Z;
    if (std::sqrt(dx * dx + dy * dy + dz * dz) <= radius) out_actors->Add(slot);
  }
  return !out_actors->IsEmpty();
}

void NameToString(FName* name, FString* out) { *out = FromUtf8(NameText(*name)); }

}  // namespace sim::game_functions
