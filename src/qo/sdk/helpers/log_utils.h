// LogUtils: the printing aid of the engine and device-agent base classes: an output switch for
// verbose lines, the print prefix every line starts with, and the merge of a server string map
// into a map of the object's own, printed when output is on.
//
// Threading: none of its own. The owning object serialises setPrintPrefix() against every other
// call; the const members may then run on several threads at once.
#pragma once

#include <map>
#include <string>

#include "qo/sdk/i_string_map.h"

namespace qo::sdk {

class LogUtils {
public:
    LogUtils(bool enableOutput, std::string printPrefix)
        : m_enableOutput(enableOutput), m_printPrefix(std::move(printPrefix)) {}

    bool enableOutput() const { return m_enableOutput; }
    const std::string& printPrefix() const { return m_printPrefix; }
    void setPrintPrefix(std::string printPrefix) { m_printPrefix = std::move(printPrefix); }

    /** Writes print prefix + text as one flushed line, whatever the output switch says. */
    void print(const std::string& text) const;

    /**
     * Copies every entry of stringMap into outMap (existing keys are overwritten, other entries
     * stay) and, when output is on, prints the entries under the caption. A null or malformed map
     * is reported and leaves outMap untouched.
     *
     * @return Whether the map was taken.
     */
    bool convertAndOutputStringMap(std::map<std::string, std::string>* outMap,
                                   const IStringMap* stringMap, const std::string& caption,
                                   int outputIndent = 0) const;

private:
    bool m_enableOutput;
    std::string m_printPrefix;  // Changed only while the owner keeps other calls out.
};

}  // namespace qo::sdk
