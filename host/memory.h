#pragma once

#include <cstddef>
#include <cstdint>

#include "host/address.h"

// Storage for game strings and arrays comes from the game's own allocator, so that either side
// may free what the other allocated. The functions are resolved once per library.
namespace host_memory {

using MallocFn = void*(std::size_t bytes, uint32_t alignment);
using ReallocFn = void*(void* pointer, std::size_t bytes);
using FreeFn = void(void* pointer);

inline void* Malloc(std::size_t bytes) {
  static auto* const fn = reinterpret_cast<MallocFn*>(ArkApi::GetAddress("FMemory.Malloc"));
  return fn(bytes, 0);
}

inline void* Realloc(void* pointer, std::size_t bytes) {
  static auto* const fn = reinterpret_cast<ReallocFn*>(ArkApi::GetAddress("FMemory.Realloc"));
  return fn(pointer, bytes);
}

inline void Free(void* pointer) {
  if (pointer == nullptr) return;
  static auto* const fn = reinterpret_cast<FreeFn*>(ArkApi::GetAddress("FMemory.Free"));
  fn(pointer);
}

}  // namespace host_memory
