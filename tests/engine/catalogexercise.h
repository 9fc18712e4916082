#pragma once
// Walks one catalog file every way the program does, and more, checking what the engine promises for
// any file, sound or damaged: it answers a result code and never crashes, hangs or reads outside the
// file; what it reports lies inside the file, has the kind the flags allow and passes the criteria;
// its counters agree with what it reported. Shared by the corruption test and the fuzzer.

#include <cstdint>
#include <string>

struct TCompare;
struct TKTBHandle;

/// Opens path read-only (with the view moved to the heap, see HeapView.h) and exercises it: every
/// combination of the iteration flags from the start, child scopes from every disc and folder found,
/// a set of name, size and date criteria, and ktbReadEntity at every offset of a small file.
/// Answers a description of the first broken promise, or an empty text when there was none.
std::string exerciseCatalog(const std::string& path);

/// Walks from start with the criteria, and without them filtering by ktbMatchName and ktbMatchFile on
/// the stored names; answers where the two first differ (a name passed over or one wrongly reported),
/// or an empty text when they agree.
std::string compareCriteriaWalk(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, const TCompare& criteria);
