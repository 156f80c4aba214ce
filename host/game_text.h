#pragma once

#include <string>
#include <string_view>

// How the game writes and compares its texts, named once for the plug-in and the stand-in.
namespace game_text {

// The game compares names and paths ignoring the case of A-Z only.
constexpr char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
constexpr char16_t FoldCase(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }
constexpr wchar_t FoldCase(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; }

template <typename Char>
constexpr bool EqualsIgnoringCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

inline std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldCase(c);
  return folded;
}

// A narrow text widened into a game string byte by byte keeps ASCII and makes every other byte
// '?'; this is that text, still narrow.
constexpr char WidenedByte(unsigned char byte) {
  return byte > 0x7F ? '?' : static_cast<char>(byte);
}
inline std::string NarrowAsWidened(std::string_view text) {
  std::string widened(text);
  for (char& c : widened) c = WidenedByte(static_cast<unsigned char>(c));
  return widened;
}

// Creature and item kinds are named by blueprint paths, Blueprint'/Game/.../X.X'.
inline constexpr std::string_view kBlueprintOpen = "Blueprint'";
inline constexpr std::string_view kBlueprintClose = "'";

// Creature kinds are matched ignoring case, so "blueprint'...'" wraps a kind's path as well;
// item paths are matched exactly.
constexpr bool IsWrapped(std::string_view path, bool ignore_case = false) {
  if (path.size() <= kBlueprintOpen.size() || !path.ends_with(kBlueprintClose)) return false;
  const std::string_view open = path.substr(0, kBlueprintOpen.size());
  return ignore_case ? EqualsIgnoringCase(open, kBlueprintOpen) : open == kBlueprintOpen;
}
// The path inside Blueprint'...', or `path` itself when it is not wrapped.
constexpr std::string_view Unwrap(std::string_view path, bool ignore_case = false) {
  return IsWrapped(path, ignore_case)
             ? path.substr(kBlueprintOpen.size(),
                           path.size() - kBlueprintOpen.size() - kBlueprintClose.size())
             : path;
}
template <typename Char>
std::basic_string<Char> Wrap(std::basic_string_view<Char> bare) {
  std::basic_string<Char> wrapped(kBlueprintOpen.begin(), kBlueprintOpen.end());
  wrapped.append(bare);
  wrapped.append(kBlueprintClose.begin(), kBlueprintClose.end());
  return wrapped;
}
inline std::string Wrap(std::string_view bare) { return Wrap<char>(bare); }

}  // namespace game_text
