// lumo-camera: serves the camera's analytics HTTP interface with digest login, and streams the
// generated scene over RTSP, until stopped by SIGINT or SIGTERM. One process can play several
// cameras on consecutive addresses.
#include <arpa/inet.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "camera.h"
#include "rtsp/rtsp_server.h"

namespace {

constexpr char kUsage[] =
    "usage: lumo-camera [--listen ADDR:PORT] [--user U --password P] [--latency-ms N]\n"
    "                   [--serial] [--max-connections N] [--cameras N] [--seed N]\n"
    "                   [--rtsp-port N | --no-rtsp] [--drop-metadata-every N]\n"
    "                   [--metadata-fault no-marker|reorder]\n"
    "                   [--stream-outage-after S --stream-outage-for S]\n"
    "Serves /httpapi/ReadParam and /httpapi/WriteParam of a LUMO AI camera with HTTP digest\n"
    "login (MD5), and its video and ONVIF metadata at rtsp://ADDR:554/stream1 with the same\n"
    "login (digest), until interrupted.\n"
    "  --listen ADDR:PORT  IPv4 address and port to listen on (default 127.0.0.2:80)\n"
    "  --user U            login name (default admin)\n"
    "  --password P        login password (default admin)\n"
    "  --latency-ms N      answer every exchange N ms late, the login challenge included\n"
    "  --serial            serve one exchange at a time; the others wait their turn\n"
    "  --max-connections N refuse connections beyond N open at once\n"
    "  --cameras N         play N cameras on N consecutive addresses from ADDR, seeds counting up\n"
    "  --seed N            the scene of the first camera (default 1)\n"
    "  --rtsp-port N       RTSP port (default 554)\n"
    "  --no-rtsp           no RTSP stream\n"
    "  --drop-metadata-every N  lose every Nth metadata RTP packet\n"
    "  --metadata-fault F  no-marker: never set the marker bit; reorder: swap packets in pairs\n"
    "  --stream-outage-after S, --stream-outage-for S\n"
    "                      take the RTSP service away S seconds after the start, back S later\n"
    "  --help              this text\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "lumo-camera: %s\n", message.c_str());
    return 2;
}

bool parseListen(const std::string& text, lumo_camera::CameraOptions& options) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    const std::string port = text.substr(colon + 1);
    if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5)
        return false;
    const long value = std::strtol(port.c_str(), nullptr, 10);
    if (value > 65535)
        return false;
    options.address = text.substr(0, colon);
    options.port = static_cast<uint16_t>(value);
    return true;
}

/** A whole number from 0 to `max`, digits only. */
bool parseCount(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtoul(text.c_str(), nullptr, 10);
    return value <= max;
}

/** What to do about a failed listen, after the reason. */
const char* listenAdvice(int error) {
    switch (error) {
        case EADDRINUSE:
            return ": another program listens there; stop it, or pick another loopback address "
                   "with --listen 127.0.0.N:80";
        case EACCES:
        case EPERM:
            return ": run it as root (ports below 1024 need that, and the plugin always talks to "
                   "port 80)";
        case EADDRNOTAVAIL:
            return ": the address is not one of this machine's; use a loopback address such as "
                   "127.0.0.2";
        default:
            return "";
    }
}

}  // namespace

int main(int argc, char** argv) {
    lumo_camera::CameraOptions options;
    options.rtsp = true;
    unsigned long cameras = 1, outageAfter = 0, outageFor = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--serial") {
            options.serial = true;
            continue;
        }
        if (arg == "--no-rtsp") {
            options.rtsp = false;
            continue;
        }
        if (arg != "--listen" && arg != "--user" && arg != "--password" && arg != "--latency-ms" &&
            arg != "--max-connections" && arg != "--cameras" && arg != "--seed" &&
            arg != "--rtsp-port" && arg != "--drop-metadata-every" && arg != "--metadata-fault" &&
            arg != "--stream-outage-after" && arg != "--stream-outage-for") {
            return fail("unknown option " + arg + " (see --help)");
        }
        if (i + 1 >= argc)
            return fail(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--listen" && !parseListen(value, options))
            return fail("--listen wants ADDR:PORT, got " + value);
        if (arg == "--user")
            options.user = value;
        if (arg == "--password")
            options.password = value;
        unsigned long count = 0;
        if (arg == "--latency-ms") {
            if (!parseCount(value, 3600 * 1000, count))
                return fail("--latency-ms wants milliseconds from 0 to 3600000, got " + value);
            options.latency = std::chrono::milliseconds(count);
        }
        if (arg == "--max-connections") {
            if (!parseCount(value, 65536, count) || count == 0)
                return fail("--max-connections wants a count from 1 to 65536, got " + value);
            options.maxConnections = static_cast<unsigned>(count);
        }
        if (arg == "--cameras" && (!parseCount(value, 250, cameras) || cameras == 0))
            return fail("--cameras wants a count from 1 to 250, got " + value);
        if (arg == "--seed") {
            if (!parseCount(value, 0xffffffffUL, count))
                return fail("--seed wants a whole number, got " + value);
            options.scene.seed = static_cast<uint32_t>(count);
        }
        if (arg == "--rtsp-port") {
            if (!parseCount(value, 65535, count))
                return fail("--rtsp-port wants a port from 0 to 65535, got " + value);
            options.rtspPort = static_cast<uint16_t>(count);
        }
        if (arg == "--drop-metadata-every") {
            if (!parseCount(value, 1000000, count) || count == 0)
                return fail("--drop-metadata-every wants a count from 1 to 1000000, got " + value);
            options.dropMetadataEvery = static_cast<unsigned>(count);
        }
        if (arg == "--metadata-fault") {
            if (value != "no-marker" && value != "reorder")
                return fail("--metadata-fault wants no-marker or reorder, got " + value);
            options.metadataFault = value == "reorder" ? lumo_camera::MetadataFault::reorder
                                                       : lumo_camera::MetadataFault::noMarker;
        }
        if ((arg == "--stream-outage-after" || arg == "--stream-outage-for") &&
            (!parseCount(value, 86400, arg == "--stream-outage-after" ? outageAfter : outageFor)))
            return fail(arg + " wants seconds from 0 to 86400, got " + value);
    }
    if ((outageAfter > 0) != (outageFor > 0))
        return fail("--stream-outage-after and --stream-outage-for go together");
    in_addr first{};
    if (inet_pton(AF_INET, options.address.c_str(), &first) != 1)
        return fail("--listen wants an IPv4 address, got " + options.address);

    // The serving threads inherit the blocked signals, so only sigwait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::vector<std::unique_ptr<lumo_camera::Camera>> fleet;
    for (unsigned long n = 0; n < cameras; ++n) {
        lumo_camera::CameraOptions one = options;
        in_addr address{htonl(ntohl(first.s_addr) + static_cast<uint32_t>(n))};
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &address, text, sizeof text);
        one.address = text;
        one.scene.seed = options.scene.seed + static_cast<uint32_t>(n);
        fleet.push_back(std::make_unique<lumo_camera::Camera>(one));
        lumo_camera::Camera& camera = *fleet.back();
        try {
            camera.start();
        } catch (const lumo_camera::ListenError& e) {
            std::fprintf(stderr, "lumo-camera: %s%s\n", e.what(), listenAdvice(e.error));
            return 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "lumo-camera: %s\n", e.what());
            return 1;
        }
        std::printf("lumo-camera: listening on %s, login %s", camera.endpoint().c_str(),
                    options.user.c_str());
        if (options.latency.count() > 0)
            std::printf(", %lld ms per exchange", static_cast<long long>(options.latency.count()));
        if (options.serial)
            std::printf(", one exchange at a time");
        if (options.maxConnections > 0)
            std::printf(", at most %u connections", options.maxConnections);
        if (camera.rtsp() != nullptr)
            std::printf(", streaming %s", camera.rtsp()->url().c_str());
        std::printf("\n");
    }
    std::fflush(stdout);
    if (outageAfter > 0) {
        for (int phase = 0; phase < 2; ++phase) {
            const timespec wait{static_cast<time_t>(phase == 0 ? outageAfter : outageFor), 0};
            if (sigtimedwait(&signals, nullptr, &wait) >= 0)
                return 0;  // Interrupted; the cameras stop as they go.
            for (auto& camera : fleet) {
                try {
                    phase == 0 ? camera->stopStreaming() : camera->startStreaming();
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "lumo-camera: %s\n", e.what());
                    return 1;
                }
            }
            if (phase == 0)
                std::printf("lumo-camera: stream outage for %lu s\n", outageFor);
            else
                std::printf("lumo-camera: streaming again\n");
            std::fflush(stdout);
        }
    }
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}
