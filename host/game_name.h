#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

// A game member's name, "Class.Member", usable as a template argument so that the name of a
// game function or field also selects its type at compile time (see game_table.h).
template <std::size_t N>
struct GameName {
  char text[N]{};

  consteval GameName(const char (&name)[N]) { std::copy_n(name, N, text); }

  constexpr std::string_view view() const { return {text, N - 1}; }
};
