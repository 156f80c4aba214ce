#include "base/spelling.h"

#include <algorithm>
#include <array>

#include "host/game_text.h"

namespace {

bool SameLetter(char a, char b) { return game_text::FoldCase(a) == game_text::FoldCase(b); }

// The edit distance of `a` and `b` with letter case ignored when it is at most `bound`, else
// bound + 1. What both begin and end with costs nothing and is cut first; of the rest only the
// cells within `bound` of the diagonal are computed, one row of memory, and the rows stop as soon
// as none of them is within the bound. So a candidate far from the word costs a few rows.
std::size_t EditDistanceWithin(std::string_view a, std::string_view b, std::size_t bound) {
  const std::size_t over = bound + 1;
  while (!a.empty() && !b.empty() && SameLetter(a.front(), b.front())) {
    a.remove_prefix(1);
    b.remove_prefix(1);
  }
  while (!a.empty() && !b.empty() && SameLetter(a.back(), b.back())) {
    a.remove_suffix(1);
    b.remove_suffix(1);
  }
  if (a.size() > b.size()) std::swap(a, b);
  if (b.size() - a.size() > bound) return over;
  if (a.empty()) return b.size();
  // row[j]: the distance of a's first i characters and b's first j; cells outside the band hold
  // `over`, which the initial values already are beyond the first row's band.
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = std::min(j, over);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    const std::size_t low = i > bound ? i - bound : 1;
    const std::size_t high = std::min(b.size(), i + bound);
    std::size_t diagonal = row[low - 1];
    row[low - 1] = low == 1 ? std::min(i, over) : over;
    std::size_t least = row[low - 1];
    for (std::size_t j = low; j <= high; ++j) {
      const std::size_t above = row[j];
      const std::size_t substitute = diagonal + (SameLetter(a[i - 1], b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitute, over});
      diagonal = above;
      least = std::min(least, row[j]);
    }
    if (least > bound) return over;
  }
  return row[b.size()];
}

// The letters of a word, letter case ignored, to compare with a candidate's: a cheap lower bound of
// the edit distance that rules out most candidates before any distance is computed.
class Letters {
 public:
  explicit Letters(std::string_view word) : size_(word.size()) {
    for (const char c : word) ++count_[Index(c)];
  }

  // The larger of the letters only the word has and those only the candidate has; each edit
  // removes at most one of either.
  std::size_t Differing(std::string_view candidate) {
    std::size_t only_candidate = 0;
    for (const char c : candidate) {
      if (--count_[Index(c)] < 0) ++only_candidate;
    }
    for (const char c : candidate) ++count_[Index(c)];
    const std::size_t only_word = only_candidate + size_ - candidate.size();  // never negative
    return std::max(only_word, only_candidate);
  }

 private:
  static unsigned char Index(char c) { return static_cast<unsigned char>(game_text::FoldCase(c)); }

  std::array<int, 256> count_{};
  std::size_t size_;
};

}  // namespace

std::size_t SlipDistance(std::string_view a, std::string_view b, std::size_t bound) {
  return EditDistanceWithin(a, b, bound);
}

std::string NearestName(std::string_view word, const std::vector<std::string>& candidates) {
  // A slip changes a few characters: one or two in a short key, more in a long path.
  const std::size_t allowed = std::max<std::size_t>(2, word.size() / 8);
  const std::string* best = nullptr;
  std::size_t best_distance = allowed + 1;
  Letters letters(word);
  for (const std::string& candidate : candidates) {
    const std::size_t longer = std::max(candidate.size(), word.size());
    const std::size_t shorter = std::min(candidate.size(), word.size());
    if (longer - shorter >= best_distance) continue;  // cannot be closer
    if (letters.Differing(candidate) >= best_distance) continue;
    const std::size_t distance = EditDistanceWithin(word, candidate, best_distance - 1);
    if (distance < best_distance) {
      best_distance = distance;
      best = &candidate;
      if (distance == 0) break;
    }
  }
  return best == nullptr ? std::string() : *best;
}
