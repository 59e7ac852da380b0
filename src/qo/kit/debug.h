// Diagnostic output of the whole library: the output stream, per-source-file line prefixes,
// source-path rendering and non-fatal assertion reports.
//
// Every report is one line written in one piece and flushed, so a host that redirects the stream
// gets whole lines. Assertion failures are reported and execution continues: the library runs
// inside someone else's process and must never stop it over a broken expectation.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace qo::kit::debug {

/** The stream all diagnostics go to; std::cerr until a host assigns another one. */
std::ostream*& stream();

/** "a/b/c.d.cpp" -> "c.d". */
std::string srcFileBaseNameWithoutExt(const std::string& path);

/** The path from "qo/" on when it lies under "/src/qo/"; otherwise the part that differs from the
 * build location of the kit. */
std::string srcFileRelativePath(const std::string& path);

/** Ends the process with a crash signal; for diagnosing hosts only. */
[[noreturn]] void intentionallyCrash(const char* message);

namespace detail {

using PrintFunc = std::function<void(const char*)>;

/** "[" + base name of the source file + "] ", cached per path (thread-safe). */
std::string printPrefix(const char* file);

/** Writes prefix + text + line feed to the output stream in one piece and flushes. */
void printLine(const std::string& prefix, const std::string& text);

/** A print function writing lines prefixed by the given text. */
PrintFunc linePrinter(std::string prefix);

/** Reports "\n>>> ASSERTION FAILED: <file>:<line> (<condition>) <message>" through print. */
void assertionFailed(const PrintFunc& print, const char* condition, const std::string& message,
                     const char* file, int line);

}  // namespace detail
}  // namespace qo::kit::debug

/** Writes one line with the prefix of the calling source file. */
#define QO_PRINT(TEXT) \
    ::qo::kit::debug::detail::printLine(::qo::kit::debug::detail::printPrefix(__FILE__), (TEXT))

/** Reports a failed condition through PRINT and goes on. */
#define QO_ASSERT_PRINT(PRINT, CONDITION, MESSAGE)                                              \
    do {                                                                                        \
        if (!(CONDITION))                                                                       \
            ::qo::kit::debug::detail::assertionFailed((PRINT), #CONDITION, (MESSAGE), __FILE__, \
                                                      __LINE__);                                \
    } while (0)

/** Reports a failed condition with the calling source file's prefix and goes on. */
#define QO_ASSERT(CONDITION, MESSAGE)                                                           \
    QO_ASSERT_PRINT(                                                                            \
        ::qo::kit::debug::detail::linePrinter(::qo::kit::debug::detail::printPrefix(__FILE__)), \
        CONDITION, MESSAGE)
