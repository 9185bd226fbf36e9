// Initialization-file reading with the results of the Windows profile calls.
//
// `file` is a file name without a directory ("QUENDAL.INI"): it is looked for in the system's
// Windows directory (POSIX: $KERVALE_ROOT/C/WINDOWS). Sections and keys match without regard to
// case; values are returned as written, with surrounding blanks removed.
#pragma once

#include <cstdint>

namespace kervale::platform {

// Copies the value of `key` in `section` into out (at most outSize - 1 characters and a NUL),
// or `defaultValue` when the file, section or key is missing. With a null key it copies the
// section's key names instead, in file order, each ended by a NUL, with one more NUL after the
// last; a list that does not fit is cut (still ended by two NULs). Gives the number of
// characters copied, not counting the final NUL.
std::uint32_t profileString(const char* section, const char* key, const char* defaultValue,
                            char* out, std::uint32_t outSize, const char* file);

// The value of `key` read as an integer (an optional sign and the leading decimal digits; no
// digits give 0), or `defaultValue` when the file, section or key is missing.
std::uint32_t profileInt(const char* section, const char* key, int defaultValue, const char* file);

}  // namespace kervale::platform
