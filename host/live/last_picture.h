// LastPicture: the camera's picture behind the boxes of a live run. It keeps the H.264 access
// units from the latest key frame on (so the last one can be decoded alone), and turns them into
// a PNG of the last picture, and that into a data URI an SVG can embed.
//
// Threading: LastPicture is guarded by its own mutex: add() from the video's streaming thread,
// lastPicturePng() from any thread. The free functions keep no state.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lumo::host::live {

class LastPicture {
public:
    /** Keeps `bytes` if it is a key frame or follows one; a run longer than the cap restarts at
     * its next key frame. */
    void add(const std::vector<uint8_t>& bytes, bool keyFrame);
    /** The last picture as PNG, decoded now; nothing with an error text when none decodes. */
    std::optional<std::string> lastPicturePng(std::string* error) const;

private:
    static constexpr size_t kMaxUnits = 600;

    mutable std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_units;  // guarded by m_mutex; from a key frame on
};

/** Decodes access units (byte stream, the first a key frame) and encodes the last picture as
 * PNG. */
std::optional<std::string> decodeLastPicture(const std::vector<std::vector<uint8_t>>& units,
                                             std::string* error);

/** "data:image/png;base64,..." */
std::string pngDataUri(const std::string& png);

}  // namespace lumo::host::live
