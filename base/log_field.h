#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text from the game or the configuration (a path, a name, a group) as it may stand inside a log
// line: every control character (C0, DEL, C1), the line and paragraph separators and the
// bidirectional controls are written as escapes (\x0D, \u202E), so no field can begin a forged
// line, move a terminal's cursor or reorder what follows it; bytes that are no UTF-8 are written
// as \xNN. A field longer than kMaxLogField characters is cut there, followed by "…(N more)".
inline constexpr std::size_t kMaxLogField = 512;
std::string LogField(std::string_view utf8);
// The same for wide text, such as a display name in an answer.
std::wstring LogField(std::wstring_view text);
