#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Suggestions for a name written with a slip of the keyboard: the configuration check's "did you
// mean", and the same for the rehearsal tool's words and paths.

// The candidate most like `word` (edit distance, letter case ignored) when it is close enough to
// be a slip of the keyboard; empty when none is.
std::string NearestName(std::string_view word, const std::vector<std::string>& candidates);

// The edit distance of `a` and `b`, letter case ignored, counted up to `bound` (bound + 1 when
// they are further apart).
std::size_t SlipDistance(std::string_view a, std::string_view b, std::size_t bound);
