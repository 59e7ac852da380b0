// The camera's analytics parameters: a default for every parameter the plugin reads or writes
// (the settings of the dialog at camera slots 0 to 7, the display-enable, clear, direction,
// line-count-enable and position parameters), and the figures of the region, exclude-region
// and line slots with the reply forms of their current positions.
//
// Figure names, with s a slot digit 0..7 and KIND one of AIX_REGION_, AIX_EXCLUDE_REGION_,
// AIX_LINE_:
//   KIND POSITION s s   write (or read) the figure's position text "x,y,x,y,..."; "" clears
//   KIND POSITION s     the same figure (older firmware reads it under this name)
//   KIND CURRENT_POSITION s   read only: "0" when empty; a region as "1," text; a line as its
//                       segment count and segments ("1,sx,sy,ex,ey" or "n;seg;seg...")
//   KIND CLEAR s        write empties the figure; reads "0"
//
// Threading: every member may be called from any thread; all state is guarded by m_mutex.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lumo_camera {

class ParameterTable {
public:
    enum class WriteResult { ok, unknownName, invalidValue };

    ParameterTable();

    /** The value a read of `name` answers, or nothing for a name the camera does not know. */
    std::optional<std::string> read(const std::string& name) const;

    /** Applies a write as the camera does; unknown names and bad position texts are refused. */
    WriteResult write(const std::string& name, const std::string& value);

    /**
     * Applies several writes at once: all of them when every one would succeed, else none. On
     * refusal `failedName` gets the first refused name.
     */
    WriteResult writeAll(const std::vector<std::pair<std::string, std::string>>& assignments,
                         std::string& failedName);

    /** Sets a plain parameter, adding it when unknown (test set-up). */
    void set(const std::string& name, const std::string& value);

    /**
     * Makes the current position `currentName` (e.g. "AIX_REGION_CURRENT_POSITION2") report the
     * given parts, "n;part;part...", as a camera does for a shape cut at the picture border.
     * The next write or clear of that figure ends it. Throws std::invalid_argument for a name
     * that is no current position.
     */
    void reportInParts(const std::string& currentName, std::vector<std::string> parts);

    /**
     * Makes the current position `currentName` answer `reply` as it stands, such as the broken
     * "1" of a count without its part. Ends like reportInParts.
     */
    void reportVerbatim(const std::string& currentName, std::string reply);

    /** Every plain parameter name known (figures not included), for listings. */
    std::vector<std::string> names() const;

private:
    struct Figure {
        bool line = false;
        std::string position;
        std::optional<std::vector<std::string>> parts;
        std::optional<std::string> verbatim;
    };
    enum class FigureRole { position, current, clear };
    struct FigureName {
        std::string key;
        FigureRole role;
    };

    static std::optional<FigureName> parseFigureName(const std::string& name);
    static bool isPositionText(const std::string& text);
    static std::string currentReply(const Figure& figure);
    // Needs m_mutex.
    WriteResult check(const std::string& name, const std::string& value) const;
    void apply(const std::string& name, const std::string& value);

    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_values;  // guarded by m_mutex
    std::map<std::string, Figure> m_figures;      // guarded by m_mutex
};

}  // namespace lumo_camera
