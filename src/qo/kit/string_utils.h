// Readers of values from text and small text helpers.
//
// decodeEscapedString() is the reader of the C-literal renderings of utils.h: whatever toString()
// writes for a string reads back to the same bytes. The integer reader follows C notation.
//
// Threading: free functions without shared state; safe from any thread.
#pragma once

#include <string>

namespace qo::kit::utils {

// ---- Readers. Each returns false and leaves *value untouched when the text is not accepted.

/** Whole text as a C integer (decimal, "0x" hex, leading-zero octal, optional sign), int32 range.
 */
bool fromString(const std::string& s, int* value);

/** "true", "True", "TRUE", "1" or "false", "False", "FALSE", "0". */
bool fromString(const std::string& s, bool* value);

/** Stream extraction in the classic locale; the whole text must be the number. */
bool fromString(const std::string& s, double* value);
bool fromString(const std::string& s, float* value);

/**
 * Decodes one or more adjacent C string literals ("a" "b" gives ab). Errors are collected in
 * *outErrorMessage (cleared first, separated by one blank) and decoding goes on where it can.
 * A text that does not start with a quote is returned unchanged.
 */
std::string decodeEscapedString(const std::string& s, std::string* outErrorMessage = nullptr);

// ---- Text helpers.

void stringReplaceAllChars(std::string* s, char sample, char replacement);

/** Inserts `insertion` after every occurrence of `c`; null inserts nothing. */
void stringInsertAfterEach(std::string* s, char c, const char* insertion);

/** Non-overlapping, left to right; an empty sample changes nothing. */
void stringReplaceAll(std::string* s, const std::string& sample, const std::string& replacement);

bool stringStartsWith(const std::string& s, const std::string& prefix);
bool stringEndsWith(const std::string& s, const std::string& suffix);

/** Without leading and trailing bytes 0 to 32; bytes from 128 up are text and are kept. */
std::string trimString(const std::string& s);

/** ASCII letters only; other bytes unchanged. */
std::string toUpper(const std::string& s);

}  // namespace qo::kit::utils
