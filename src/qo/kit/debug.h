// Diagnostic output of the whole library: the output stream, per-source-file line prefixes,
// source-path rendering and non-fatal assertion reports.
//
// Every report is one line written in one piece and flushed, so a host that redirects the stream
// gets whole lines. Assertion failures are reported and execution continues: the library runs
// inside someone else's process and must never stop it over a broken expectation.
#pragma once

#include <functional>
#include <mutex>
#include <ostream>
#include <string>

namespace qo::kit::debug {

/**
 * Where all diagnostics go: std::cerr until a host assigns another stream. Reads like a pointer
 * to the stream and is assigned like one.
 *
 * Threading: any thread may write lines, read or assign it at any time. Lines are written one at a
 * time under m_mutex; an assignment waits for the line being written, so once it returns the
 * previous stream is no longer used and its owner may destroy it.
 */
class OutputSlot {
public:
    explicit OutputSlot(std::ostream* stream) : m_stream(stream) {}
    OutputSlot(const OutputSlot&) = delete;
    OutputSlot& operator=(const OutputSlot&) = delete;

    OutputSlot& operator=(std::ostream* stream);
    operator std::ostream*() const;

    /** Writes the text in one piece and flushes; nothing when no stream is assigned. */
    void write(const std::string& text);

private:
    mutable std::mutex m_mutex;
    std::ostream* m_stream;  // Guarded by m_mutex.
};

/** The slot of the stream all diagnostics go to; it lives until the process ends. */
OutputSlot& stream();

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
