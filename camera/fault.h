// A fault the camera injects into the requests it receives, for testing its clients against a
// camera that is slow, silent, rude or broken.
#pragma once

#include <chrono>
#include <string>
#include <utility>

namespace lumo_camera {

struct Fault {
    enum class Kind {
        delay,             // answer normally after `delay`
        hang,              // never answer; the connection stays open until the client gives up
                           // or the camera stops
        reset,             // drop the connection with a TCP reset, no answer
        wrongCredentials,  // refuse the login whatever it is (401 with a fresh challenge)
        noEqualSign,       // answer 200 with a body that holds no "="
        okReply,           // answer 200 "Ok", as older firmware does for current positions
        endlessBody,       // answer 200 with a body that never ends
    };

    Fault() = default;
    explicit Fault(Kind kind, std::string parameter = {}, int times = -1,
                   std::chrono::milliseconds delay = {})
        : kind(kind), delay(delay), parameter(std::move(parameter)), times(times) {}

    Kind kind = Kind::delay;
    /** Waited before the fault acts (for `delay` the whole effect). */
    std::chrono::milliseconds delay{0};
    /** Only requests naming this parameter are hit; empty hits every request. */
    std::string parameter;
    /** Number of requests hit before the fault is spent; negative never spends it. */
    int times = -1;
};

}  // namespace lumo_camera
