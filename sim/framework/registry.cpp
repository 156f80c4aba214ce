#include "sim/framework/registry.h"

namespace sim {

void Registry::AddFunction(std::string_view name, void* address) {
  functions_.insert_or_assign(std::string(name), address);
}

void Registry::AddHookable(std::string_view name, void* entry, void** slot, void* original) {
  functions_.insert_or_assign(std::string(name), entry);
  hooks_.insert_or_assign(std::string(name), Hook{slot, original, {}});
}

void Registry::AddField(std::string_view name, Field field) {
  fields_.insert_or_assign(std::string(name), field);
}

void Registry::AddBitField(std::string_view name, BitField field) {
  bit_fields_.insert_or_assign(std::string(name), field);
}

void* Registry::FindFunction(std::string_view name) const {
  const auto it = functions_.find(name);
  return it == functions_.end() ? nullptr : it->second;
}

const Registry::Field* Registry::FindField(std::string_view name) const {
  const auto it = fields_.find(name);
  return it == fields_.end() ? nullptr : &it->second;
}

const Registry::BitField* Registry::FindBitField(std::string_view name) const {
  const auto it = bit_fields_.find(name);
  return it == bit_fields_.end() ? nullptr : &it->second;
}

Registry::Hook* Registry::FindHook(std::string_view name) {
  const auto it = hooks_.find(name);
  return it == hooks_.end() ? nullptr : &it->second;
}

Registry& TheRegistry() {
  static Registry* const registry = [] {
    auto* r = new Registry();  // never freed: game code may run during static destruction
    RegisterGameMembers(*r);
    return r;
  }();
  return *registry;
}

}  // namespace sim
