#include "base/spelling.h"

#include <algorithm>

#include "host/game_text.h"

namespace {

// Levenshtein distance with letter case ignored, in one row of memory.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const std::size_t substitute =
          diagonal + (game_text::FoldCase(a[i - 1]) == game_text::FoldCase(b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitute});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string NearestName(std::string_view word, const std::vector<std::string>& candidates) {
  // A slip changes a few characters: one or two in a short key, more in a long path.
  const std::size_t allowed = std::max<std::size_t>(2, word.size() / 8);
  const std::string* best = nullptr;
  std::size_t best_distance = allowed + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t longer = std::max(candidate.size(), word.size());
    const std::size_t shorter = std::min(candidate.size(), word.size());
    if (longer - shorter >= best_distance) continue;  // cannot be closer
    const std::size_t distance = EditDistance(word, candidate);
    if (distance < best_distance) {
      best_distance = distance;
      best = &candidate;
    }
  }
  return best == nullptr ? std::string() : *best;
}
