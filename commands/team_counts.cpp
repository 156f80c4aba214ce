// "tw.counts": an admin's look at the counts of any team, or at who owns the most. Reads the
// store without creating an entry in it.
#include <algorithm>
#include <charconv>
#include <exception>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include "base/config.h"
#include "base/guard.h"
#include "base/log_field.h"
#include "base/text.h"
#include "cluster/cluster_link.h"
#include "commands/commands.h"
#include "commands/usage.h"
#include "counting/dino_count_store.h"
#include "counting/limits.h"
#include "counting/other_maps.h"
#include "counting/tiers.h"
#include "host/ark_api.h"
#include "notify/limits_answer.h"
#include "notify/messages.h"

namespace {

constexpr wchar_t kUsage[] = L"Usage: tw.counts [TEAM | over] (TEAM: a tribe id, or a player id)";
constexpr std::size_t kTopTeams = 10;
// Teams listed by "tw.counts over"; more are told as a number, so the answer stays bounded.
constexpr std::size_t kMaxOverTeams = 100;

// A team number written in decimal digits, or nothing.
std::optional<int32_t> TeamNumber(std::u16string_view word) {
  std::string digits;
  for (char16_t c : word) {
    if (c < u'0' || c > u'9') return std::nullopt;
    digits.push_back(static_cast<char>(c));
  }
  int32_t team = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), team);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return team;
}

// A kind's name in the answers: its display name (data, as in /limits), else its key.
std::wstring KindName(const FString& path, const KindCounts& kind) {
  return LogField(kind.name().empty() ? path.ToWide() : kind.name());
}

// One line per other map of the cluster that holds counts of the team, in name order:
// "on Ragnarok: 5 creatures (Rex 2, Raptor 1)", the kinds configured here in key order; with a
// cluster running, this map's own line first.
std::wstring OtherMapLines(int32_t team) {
  std::wstring lines;
  if (const SyncWorker* worker = ClusterWorker()) {
    // This map's own line first, so that the lines add up to the counts above.
    std::wstring listed;
    Store().ForEachKind([&](const FString& path, const KindCounts& kind) {
      if (const int32_t count = kind.CountOf(team); count > 0)
        listed +=
            fmt::format(L"{}{} {}", listed.empty() ? L"" : L", ", KindName(path, kind), count);
    });
    const int32_t total = Store().TotalOf(team);
    lines +=
        fmt::format(L"\non {} (this map): {} {}",
                    LogField(ArkApi::Tools::Utf8Decode(worker->params().connection.server_name)),
                    total, total == 1 ? L"creature" : L"creatures");
    if (!listed.empty()) lines += L" (" + listed + L")";
  }
  const OtherMaps& others = Others();
  others.ForEachMapOf(team, [&](const std::string& map, const OtherMaps::TeamOnMap& counts) {
    std::map<FString, std::wstring, CaseInsensitiveLess> kinds;  // by key
    for (const auto& [key, count] : counts.kinds) {
      const KindCounts* kind = others.KindOf(key);
      if (kind == nullptr) continue;
      FString path(std::string_view(kind->key()));
      const std::wstring name = KindName(path, *kind);
      kinds.emplace(std::move(path), fmt::format(L"{} {}", name, count));
    }
    lines += fmt::format(L"\non {}: {} {}", LogField(ArkApi::Tools::Utf8Decode(map)), counts.total,
                         counts.total == 1 ? L"creature" : L"creatures");
    std::wstring listed;
    for (const auto& [path, text] : kinds) listed += (listed.empty() ? L"" : L", ") + text;
    if (!listed.empty()) lines += L" (" + listed + L")";
  });
  return lines;
}

// One team's counts in the lines of /limits, against the base limits; a team that owns no
// creature (also one that does not exist) is told as such, not as a table of zeros.
std::wstring TeamAnswer(int32_t team) {
  if (CountsOf(team).total() == 0) return fmt::format(L"team {} owns no creatures", team);
  const Settings& settings = CurrentSettings();
  const std::optional<int32_t> max_amount = MaxAmountFor({});  // the base limits
  if (!max_amount) return ArkApi::Tools::Utf8Decode("tw.counts: " + std::string(kMissingNumber));
  const std::wstring lines = LimitsAnswer(team, *max_amount);
  std::wstring answer = fmt::format(fmt::runtime(std::wstring_view(lines)));  // as players see it
  if (!settings.tiers.empty()) answer += L"\n(the base limits: players of a tier have the tier's)";
  answer += OtherMapLines(team);
  return answer;
}

// How many teams own creatures, how many kinds are configured, and the ten teams with the most.
std::wstring Summary() {
  std::vector<std::pair<int64_t, int32_t>> teams;  // total in the cluster, team
  Store().ForEachTeam([&](int32_t team, int32_t) {
    if (const int64_t total = CountsOf(team).total(); total > 0) teams.emplace_back(total, team);
  });
  Store().ForEachOtherTeam([&](int32_t team, const OtherCounts& counts) {
    if (!Store().KnowsTeam(team) && counts.total > 0) teams.emplace_back(counts.total, team);
  });
  std::sort(teams.begin(), teams.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  const auto count = [](std::size_t n, const wchar_t* one, const wchar_t* many) {
    return fmt::format(L"{} {}", n, n == 1 ? one : many);
  };
  std::wstring answer = count(teams.size(), L"team counted", L"teams counted") + L", " +
                        count(Store().KindCount(), L"kind configured", L"kinds configured");
  for (std::size_t i = 0; i < std::min(teams.size(), kTopTeams); ++i)
    answer +=
        fmt::format(L"\nteam {}: {} of {}", teams[i].second, teams[i].first, TotalLimitFor({}));
  return answer;
}

// Every team over a kind's limit or the total limit, the base ones, counted in the cluster, one a
// line in team order: "team 200001: Rex 7/6, total 21/20". Walks each kind's teams and the totals
// once, and those the other maps hold.
std::wstring OverAnswer() {
  std::map<int32_t, std::wstring> over;  // team -> what it is over
  const auto add = [&](int32_t team, const std::wstring& what) {
    std::wstring& line = over[team];
    line += (line.empty() ? L"" : L", ") + what;
  };
  Store().ForEachKind([&](const FString& path, const KindCounts& kind) {
    // The display name is data, as in /limits; a kind without one is named by its key.
    const std::wstring name = KindName(path, kind);
    const auto check = [&](int32_t team, int64_t count) {
      if (count > kind.limit()) add(team, fmt::format(L"{} {}/{}", name, count, kind.limit()));
    };
    for (const auto& [team, count] : kind.teams()) check(team, count + kind.OtherOf(team));
    for (const auto& [team, count] : kind.others()) {
      if (!kind.teams().contains(team)) check(team, count);
    }
  });
  if (const std::optional<int32_t> max = MaxAmountFor({})) {  // checked configurations have it
    const auto check = [&](int32_t team, int64_t total) {
      if (total > *max) add(team, fmt::format(L"total {}/{}", total, *max));
    };
    Store().ForEachTeam([&](int32_t team, int32_t) { check(team, CountsOf(team).total()); });
    Store().ForEachOtherTeam([&](int32_t team, const OtherCounts& counts) {
      if (!Store().KnowsTeam(team)) check(team, counts.total);
    });
  }
  if (over.empty()) return L"no team is over a limit";
  std::wstring answer =
      fmt::format(L"{} {} over a limit", over.size(), over.size() == 1 ? L"team is" : L"teams are");
  std::size_t shown = 0;
  for (const auto& [team, what] : over) {
    if (shown++ == kMaxOverTeams) {
      answer += fmt::format(L"\n... and {} more", over.size() - kMaxOverTeams);
      break;
    }
    answer += fmt::format(L"\nteam {}: {}", team, what);
  }
  if (!CurrentSettings().tiers.empty())
    answer += L"\n(the base limits: players of a tier have the tier's)";
  return answer;
}

// The answer to the whole command text; a failure to read a setting is the answer itself.
std::wstring Answer(const FString& command) {
  RefreshClusterCounts();
  const std::vector<std::u16string_view> words = Arguments(command);
  if (words.empty()) return Summary();
  if (words.size() == 1 && words[0] == u"over") return OverAnswer();
  const std::optional<int32_t> team = words.size() == 1 ? TeamNumber(words[0]) : std::nullopt;
  if (!team) return kUsage;
  try {
    return TeamAnswer(*team);
  } catch (const std::exception& error) {
    return ArkApi::Tools::Utf8Decode(std::string("tw.counts: ") + error.what());
  }
}

}  // namespace

void TeamCountsCmd(APlayerController* controller, FString* command, bool) {
  Guarded("tw.counts", [&] {
    auto* player = static_cast<AShooterPlayerController*>(controller);
    if (player == nullptr || ArkApi::GetApiUtils().IsPlayerDead(player)) return;
    const std::wstring answer = Answer(command != nullptr ? *command : FString());
    SendChatMessage(player, FString(SenderName()), EscapeBraces(answer).c_str());
  });
}

void TeamCountsRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
  Guarded("tw.counts", [&] {
    SendRconAnswer(connection, packet,
                   FString(Answer(packet != nullptr ? packet->Body : FString())));
  });
}
