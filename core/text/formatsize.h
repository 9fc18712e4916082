#pragma once
// Byte counts as the program shows them.

#include <QString>
#include <cstdint>

/// The count in the largest unit it exceeds (strictly): " Gb" above 2^30, " Mb" above 2^20, " Kb" above
/// 2^10, else the plain count and " b". Divided counts show two decimals with the user's decimal
/// separator, rounded half away from zero to at most seven significant digits (later digits show as
/// zeros); a count that needs more than seven digits before the separator shows in scientific notation
/// ("8.589935E+09 Gb"). Negative counts get a "-". 1024 is "1024 b", 1536 "1.50 Kb".
QString formatSize(std::int64_t bytes);
