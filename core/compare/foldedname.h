#pragma once
// Names compared as the search compares them (ktbFoldName): the one letter-case rule of the compare,
// duplicates and not-on-any-disc tasks.

#include <cstdint>
#include <string>
#include <string_view>

/// A hash of the name's folded form: names the search takes for the same name have the same hash.
std::uint64_t foldedNameHash(std::string_view name);
/// The name's folded form (ktbFoldName), kept in a buffer of the calling thread; valid until the next
/// call on this thread.
std::string_view foldedName(std::string_view name);
/// Whether the search takes the two names for the same name.
bool sameFoldedName(std::string_view a, std::string_view b);
/// A hash of bytes already folded.
std::uint64_t hashBytes(std::string_view bytes);
