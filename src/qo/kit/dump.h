// Developer aids for looking at data: hexadecimal dumps of memory and saving a string or a byte
// block to a file.
//
// Reports go through a print function, one call per report, like the rest of the debug output.
// A null byte pointer or a negative count is treated as no bytes.
//
// Threading: free functions without shared state; safe from any thread.
#pragma once

#include <string>

#include "qo/kit/debug.h"

namespace qo::kit::debug {

/**
 * "41 00" + padding to bytesPerLine + " | A.": hex bytes, then the bytes as text with every byte
 * outside 32..126 shown as ".". Empty for no bytes.
 */
std::string hexDumpLine(const void* bytes, int size, int bytesPerLine);

namespace detail {

/** Up to 8 bytes on the header line; more in lines of 16 below it. One print call either way. */
void printHexDump(const PrintFunc& print, const char* caption, const void* bytes, int size);

/** Writes str to absolutePath(dir, filename), replacing the file; reports success or failure. */
void saveStr(const PrintFunc& print, const std::string& dir, const std::string& filename,
             const std::string& caption, const std::string& str);

/** Writes the bytes to absolutePath(dir, filename), replacing the file; reports the outcome. */
void saveBin(const PrintFunc& print, const std::string& dir, const std::string& filename,
             const void* bytes, int size);

}  // namespace detail
}  // namespace qo::kit::debug
