// lumo-camera: serves the camera's analytics HTTP interface with digest login until stopped by
// SIGINT or SIGTERM.
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "camera.h"

namespace {

constexpr char kUsage[] =
    "usage: lumo-camera [--listen ADDR:PORT] [--user U --password P] [--latency-ms N]\n"
    "                   [--serial] [--max-connections N]\n"
    "Serves /httpapi/ReadParam and /httpapi/WriteParam of a LUMO AI camera with HTTP digest\n"
    "login (MD5) until interrupted.\n"
    "  --listen ADDR:PORT  IPv4 address and port to listen on (default 127.0.0.2:80)\n"
    "  --user U            login name (default admin)\n"
    "  --password P        login password (default admin)\n"
    "  --latency-ms N      answer every exchange N ms late, the login challenge included\n"
    "  --serial            serve one exchange at a time; the others wait their turn\n"
    "  --max-connections N refuse connections beyond N open at once\n"
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
        if (arg != "--listen" && arg != "--user" && arg != "--password" && arg != "--latency-ms" &&
            arg != "--max-connections") {
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
    }

    // The serving threads inherit the blocked signals, so only sigwait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    lumo_camera::Camera camera(options);
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
    std::printf("\n");
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    camera.stop();
    return 0;
}
