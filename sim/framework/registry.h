#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/host_api.h"

namespace sim {

struct Class;

// Every game member known by name: functions, fields, bit fields, and the hook chains of the
// functions that can be hooked. One per process, complete before its first use.
class Registry {
 public:
  struct Field {
    Class* (*owner)();        // the object must be of this class; null for plain records
    void* (*address)(void*);  // the field inside an object
  };
  struct BitField {
    Class* (*owner)();
    uint32_t* (*word)(void*);
    uint32_t bit_position;
    uint64_t num_bits;
  };
  // One detour in a hook chain and the place where it finds the function it must call next.
  struct Detour {
    void* detour;
    void** original;
  };
  struct Hook {
    void** slot;                // what the game's calls go through
    void* original;             // the game's own function
    std::vector<Detour> chain;  // oldest first; the newest is in *slot
  };

  void AddFunction(std::string_view name, void* address);
  void AddHookable(std::string_view name, void* entry, void** slot, void* original);
  void AddField(std::string_view name, Field field);
  void AddBitField(std::string_view name, BitField field);

  // Null when unknown. A hookable function's address leads through its hooks.
  void* FindFunction(std::string_view name) const;
  const Field* FindField(std::string_view name) const;
  const BitField* FindBitField(std::string_view name) const;
  Hook* FindHook(std::string_view name);

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  template <typename T>
  using Map = std::unordered_map<std::string, T, Hash, std::equal_to<>>;

  Map<void*> functions_;
  Map<Hook> hooks_;
  Map<Field> fields_;
  Map<BitField> bit_fields_;
};

// The process's registry, filled with every member of the stand-in game on first use.
TW_HOST_API Registry& TheRegistry();

// Fills the registry; defined by the game (members.cpp).
void RegisterGameMembers(Registry& registry);

}  // namespace sim
