// RtpClock: turns a track's RTP timestamps into wall-clock microseconds since the Unix epoch,
// the time base the host stamps packets with.
//
// Each RTCP sender report pairs a wall-clock instant (NTP format) with an RTP timestamp of the
// same track; a timestamp is placed by its signed distance from the latest pair, so the 32-bit
// counter may wrap. Until the first report the caller's arrival time stands in.
//
// Threading: not thread-safe; the owner serialises onSenderReport() and wallClockUs().
#pragma once

#include <cstdint>
#include <optional>

namespace lumo::host::live {

/** Microseconds between the NTP epoch (1900) and the Unix epoch (1970). */
constexpr int64_t kNtpToUnixUs = 2208988800LL * 1000000;

/** A 64-bit NTP timestamp (seconds in the high word, fraction in the low) as Unix microseconds. */
int64_t ntpToUnixUs(uint64_t ntp);

class RtpClock {
public:
    explicit RtpClock(uint32_t clockRate = 90000) : m_clockRate(clockRate) {}

    void onSenderReport(uint64_t ntp, uint32_t rtpTimestamp);
    /** Whether a sender report has come. */
    bool synchronised() const { return m_reference.has_value(); }
    int64_t wallClockUs(uint32_t rtpTimestamp, int64_t arrivalUs) const;

private:
    struct Reference {
        int64_t wallUs;
        uint32_t rtpTimestamp;
    };

    const uint32_t m_clockRate;
    std::optional<Reference> m_reference;
};

}  // namespace lumo::host::live
