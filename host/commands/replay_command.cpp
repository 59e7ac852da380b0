#include "commands/replay_command.h"

#include <algorithm>

#include "commands/command_line.h"
#include "commands/option_reader.h"
#include "commands/replay_file.h"
#include "report/packet_printer.h"
#include "report/run_summary.h"
#include "server/host_session.h"

namespace lumo::host {

CLI::App* addReplayCommand(CLI::App& root, ReplayOptions& options) {
    CLI::App* command = addCommand(root, "replay");
    options.device.url = "http://127.0.0.1/";
    addValue(command, "--plugin", options.pluginPath);
    addValue(command, "--device-url", options.device.url);
    addValue(command, "--login", options.device.login);
    addValue(command, "--password", options.device.password);
    addValue(command, "--start-us", options.startUs)->check(wholeNumber(0));
    addValue(command, "--step-us", options.stepUs)->check(wholeNumber(0));
    addValue(command, "--wait-ms", options.firstPacketWaitMs)->check(wholeNumber(1));
    command->add_option("files", options.files);
    return command;
}

int runReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err) {
    HostSession session(err);
    HostSession::CameraId camera = 0;
    if (!session.load(options.pluginPath) || !session.start())
        return kExitFailure;
    if (!session.bind(options.device, &camera)) {
        session.shutdown();
        return kExitFailure;
    }

    // Deliveries of one document come close together; a pause this long means the agent is done.
    constexpr std::chrono::milliseconds kQuiet(50);

    int status = kExitOk;
    int64_t timestampUs = options.startUs;
    for (const std::string& path : options.files) {
        std::string document;
        if (const std::string reason = readReplayFile(path, &document); !reason.empty()) {
            err << "lumo-host: " << reason << std::endl;
            status = kExitFailure;
            continue;
        }
        out << "# " << path << " t=" << timestampUs << std::endl;
        const size_t before = session.packetCount(camera);
        if (session.pushDocument(camera, std::move(document), timestampUs) !=
            DocumentTally::kNone) {
            session.waitUntilQuiet(camera, before, kQuiet,
                                   std::chrono::milliseconds(options.firstPacketWaitMs));
        }
        timestampUs += options.stepUs;

        auto packets = session.take(camera);
        // Packets of one document arrive in any order; a fixed order makes runs comparable.
        std::stable_sort(packets.begin(), packets.end(),
                         [](const auto& a, const auto& b) { return a.kind < b.kind; });
        for (const auto& packet : packets)
            out << formatPacketLine(packet.packet.get()) << "\n";
        out.flush();
    }

    session.shutdown();
    printSummary(out, session.summary(false));
    return session.checkLeaks() ? status : kExitFailure;
}

}  // namespace lumo::host
