// Figure and object-size values from the server's dialog, through the handlers that write them to
// the camera. The camera request is replaced at link time by a stub that checks what would be
// sent: one well-formed write query each, positions and sizes in digits, commas and signs only.
//
// Input: one byte choosing the setting, one byte choosing the frame (the agent's default, or the
// next eight bytes as width and height), then the value as the server sends it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <string>

#include "lumo/device_agent.h"
#include "lumo/http_request.h"
#include "qo/kit/debug.h"
#include "support/fake_device_info.h"
#include "support/fake_video_packet.h"

using namespace qo::vms_server_plugins::analytics::lumo;
namespace sdk = qo::sdk;
namespace analytics = qo::sdk::analytics;

namespace {

constexpr char kWrite[] = "WriteParam?action=writeparam&";
int g_requests = 0;

bool isPositionOrSize(const std::string& parameter) {
    return parameter.find("POSITION") != std::string::npos ||
           parameter == "AIX_OBJECT_DETECTION_SIZE";
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

bool httpRequest(const std::string& cameraQuery, const std::string&, const std::string&,
                 const std::string&, std::string& reply, RequestOutcome*) {
    ++g_requests;
    check(cameraQuery.rfind(kWrite, 0) == 0);
    check(cameraQuery.size() > sizeof(kWrite) && cameraQuery.back() == '&');
    const std::string pair = cameraQuery.substr(sizeof(kWrite) - 1);
    const size_t equal = pair.find('=');
    check(equal != std::string::npos && equal > 0);
    const std::string value = pair.substr(equal + 1, pair.size() - equal - 2);
    check(value.find_first_of("&=") == std::string::npos);
    if (isPositionOrSize(pair.substr(0, equal)))
        check(value.find_first_not_of("0123456789,-") == std::string::npos);
    else
        check(value == "0" || value == "1");
    reply += "OK";
    return true;
}

namespace {

const char* const kSettings[] = {
    "AIX_REGION_POSITION1", "AIX_REGION_POSITION8", "AIX_EXCLUDE_REGION_POSITION3",
    "AIX_LINE_POSITION5",   "AIX_LINE_POSITION",    "AIX_OBJECT_DETECTION_SIZE",
};
constexpr size_t kSettingCount = sizeof(kSettings) / sizeof(kSettings[0]);

DeviceAgent& agent() {
    static DeviceAgent* const instance = [] {
        static struct : std::streambuf {
            std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
            int overflow(int c) override { return traits_type::not_eof(c); }
        } nullBuffer;
        static std::ostream silent(&nullBuffer);
        qo::kit::debug::stream() = &silent;
        const auto info = sdk::makePtr<lumo_test::FakeDeviceInfo>("fuzz", "http://127.0.0.1/");
        return new DeviceAgent(info.get());  // Lives for the process.
    }();
    return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const std::string name = kSettings[data[0] % kSettingCount];
    const bool ownFrame = data[1] & 1;
    data += 2;
    size -= 2;
    if (ownFrame) {
        if (size < 8)
            return 0;
        int32_t frame[2];
        std::memcpy(frame, data, sizeof(frame));
        data += sizeof(frame);
        size -= sizeof(frame);
        qo::sdk::Result<void> result;
        agent().doPushDataPacket(
            &result, sdk::makePtr<lumo_test::FakeVideoPacket>(frame[0], frame[1]).get());
        if (result.error.errorMessage)
            result.error.errorMessage->releaseRef();
    }
    const std::string value(reinterpret_cast<const char*>(data), size);
    std::string reply;
    g_requests = 0;
    if (name == "AIX_OBJECT_DETECTION_SIZE") {
        agent().handleObjectDetectionSize(name, value, reply);
        check(g_requests <= 1);
    } else {
        agent().handlePositionSettings(parseSettingName(name), value, reply);
        // The display switch always; the clearing or the position unless the figure gave no
        // point; a line's direction.
        check(g_requests >= 1 && g_requests <= 3);
    }
    return 0;
}
