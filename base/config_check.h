#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// The check of a whole configuration document before it goes live. It knows every section and
// key the plug-in reads, with their types, and reports what the plug-in could not use or what, as
// written, would leave a limit the owner wrote unenforced or enforce one the owner did not write
// (errors: the document must not go live), and what it can use but probably not as the owner
// meant (warnings). It reads the document without copying or changing it, walks it without
// recursion (so any nesting depth is safe), and needs nothing of the game or the framework, so the
// stand-in's checker links it as well as the plug-in.

enum class Severity { kError, kWarning };

struct Finding {
  Severity severity;
  // Where the value stands, as the owner finds it in the file: "General.MaxAmount",
  // "Dinos[\"Blueprint'/Game/.../X.X'\"].Count", "(document)" for the top level.
  std::string key;
  // What is wrong, what the plug-in would do, and what to write instead.
  std::string message;
};

// Bounds the check enforces, so that no configuration can make one answer costly.
inline constexpr std::size_t kMaxNesting = 32;           // levels of objects and arrays
inline constexpr std::size_t kMaxTemplateOutput = 4096;  // characters one text may format to
inline constexpr std::size_t kMaxTiers = 64;  // more are warned about: each tame looks through them

// Every finding for `document`, in the order of the file's sections. A document without
// error findings can be read by every part of the plug-in without a configuration failure.
std::vector<Finding> CheckConfig(const nlohmann::json& document);

// The key of a member as the owner finds it and findings name it: General.MaxAmount,
// Dinos["Blueprint'...'"].Count. Members named by the owner (kinds, items) are written in
// brackets when `bracket`; so is any name that is no identifier.
std::string MemberKey(const std::string& parent, std::string_view name, bool bracket = false);

// A map's or a cluster's name, as other maps see it and the database keeps it: 1 to 64 letters,
// digits, '_', '.' or '-'.
bool IsMapName(std::string_view name);

std::size_t CountFindings(const std::vector<Finding>& findings, Severity severity);

// "error: KEY: message" or "warning: KEY: message", the key and message as log fields (see
// base/log_field.h).
std::string FormatFinding(const Finding& finding);

// What is wrong with the form of a blueprint path as a "Dinos" or "ItemMap" key or value
// (Blueprint'/Game/.../X.X'), with the form to write; empty when nothing is.
// `ignore_case` for a creature kind's path, which the game matches ignoring case; an item's path
// is matched exactly. `never` says what a path that never matches means ("it never matches"
// when empty).
std::string PathFormProblem(std::string_view path, bool ignore_case, std::string_view never = {});
