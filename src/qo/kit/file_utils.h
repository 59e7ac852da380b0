// File, path and process helpers, and the reader of name-value files.
//
// A name-value file holds one "name = value" pair per line; blank lines and lines starting with
// "#" are ignored. Malformed lines are reported with their line number and skipped.
//
// Threading: free functions without shared state, safe from any thread. The process arguments
// are read once, on first use, with thread-safe initialisation.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace qo::kit::utils {

/** True when the file can be opened for reading; false for null. */
bool fileExists(const char* path);

/** The text after the last "/", or the whole path when there is none. */
std::string baseName(const std::string& path);

/** `path` as is when it is absolute or `originDir` is empty; otherwise joined with one "/". */
std::string absolutePath(const std::string& originDir, const std::string& path);

/** Read once from "/proc/self/cmdline"; empty when it cannot be read. */
const std::vector<std::string>& getProcessCmdLineArgs();

/** The base name of the first command-line argument; empty when there is none. */
std::string getProcessName();

/**
 * Reads "name = value" pairs into *map (names with trailing blanks removed, values trimmed at both
 * ends; a later pair overwrites an earlier one of the same name). Each malformed line makes the
 * result false and, when errorStream is given, is reported there as one flushed line starting
 * with errorPrefix. Returns false without reporting when the file cannot be opened or read; then
 * *outFileIsEmpty is left untouched, otherwise it tells whether the file had no lines at all.
 */
bool parseNameValueFile(const std::string& nameValueFilePath,
                        std::map<std::string, std::string>* map, const std::string& errorPrefix,
                        std::ostream* errorStream = nullptr, bool* outFileIsEmpty = nullptr);

}  // namespace qo::kit::utils
