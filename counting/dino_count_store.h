#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/fstring.h"

// Who owns which creatures, in memory only: per configured kind and team the living creatures,
// per team all of them, and per team whether one of its kinds has gone over that kind's limit.
// Rebuilt by UpdateDinoCountAll, kept current by UpdateDinoCount and the tribe-merge
// bookkeeping. Game thread only; reading an entry through the functions below creates it.

// Orders paths as the runtime's case-insensitive comparison does: A-Z folded to a-z, then code
// units compared by value. Paths that differ only in case are one key.
struct CaseInsensitiveLess {
  bool operator()(const FString& a, const FString& b) const;
};

// One configured kind.
struct KindCounts {
  // The key as UTF-8: the name of the "Dinos" member that holds this kind's limit and display name.
  std::string config_name;
  std::unordered_map<int32_t, int32_t> teams;  // team_id -> living creatures of the kind
};

using DinoCounts = std::map<FString, KindCounts, CaseInsensitiveLess>;

struct DinoCountStore {
  DinoCounts dino_counts;                            // configured kinds, in key order
  std::unordered_map<int32_t, int32_t> team_totals;  // team_id -> living creatures of any kind
  std::unordered_map<int32_t, bool> limit_exceeded;  // team_id -> some kind is over its limit

  // Finds a kind by path in one hash lookup instead of a walk down the ordered map.
  struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view path) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
  };
  std::unordered_map<std::u16string_view, DinoCounts::iterator, FoldedHash, FoldedEqual> kind_index;
};

// The process's one store.
DinoCountStore& Store();

// Empties all three containers.
void ClearStore();

// Adds the kind named by a "Dinos" member with no counts, unless a key equal to it ignoring case
// exists. The key is the name widened byte by byte, every byte above 0x7F becoming '?'.
void AddKind(std::string_view member_name);

// The configured kind of a path (ignoring case), or null when the path is no configured kind.
KindCounts* FindKind(const FString& path);

// A team's total and flag, created as 0 and clear when missing.
int32_t& TeamTotal(int32_t team_id);
bool& LimitExceeded(int32_t team_id);

// A kind's limit: "Count" of its "Dinos" member, 9999 when there is none. Throws the JSON
// library's type error for a member that is no object or a "Count" that is no number.
int32_t KindLimit(const KindCounts& kind);

// General.MaxAmount, 0 when missing. Throws when General is missing or no object.
int32_t TotalLimit();
