#include "live/rtp_clock.h"

namespace lumo::host::live {

int64_t ntpToUnixUs(uint64_t ntp) {
    const auto seconds = static_cast<int64_t>(ntp >> 32);
    const auto fractionUs = static_cast<int64_t>(((ntp & 0xFFFFFFFFULL) * 1000000) >> 32);
    return seconds * 1000000 + fractionUs - kNtpToUnixUs;
}

void RtpClock::onSenderReport(uint64_t ntp, uint32_t rtpTimestamp) {
    m_reference = Reference{ntpToUnixUs(ntp), rtpTimestamp};
}

int64_t RtpClock::wallClockUs(uint32_t rtpTimestamp, int64_t arrivalUs) const {
    if (!m_reference || m_clockRate == 0)
        return arrivalUs;
    const auto ticks = static_cast<int32_t>(rtpTimestamp - m_reference->rtpTimestamp);
    return m_reference->wallUs + int64_t{ticks} * 1000000 / m_clockRate;
}

}  // namespace lumo::host::live
