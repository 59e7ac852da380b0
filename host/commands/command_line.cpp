#include "commands/command_line.h"

#include <functional>
#include <map>

#include "commands/bench_command.h"
#include "commands/demo_command.h"
#include "commands/live_command.h"
#include "commands/option_reader.h"
#include "commands/replay_command.h"
#include "commands/settings_command.h"
#include "commands/version_command.h"

namespace lumo::host {

namespace {

constexpr const char* kHelpText =
    R"(Usage: lumo-host COMMAND [OPTION...] [FILE...]

Loads the LUMO analytics plugin and drives it the way a video-management-system media server
does, to try the plugin without a server.

Commands:
  version             Load the plugin library and print its SDK version (qoSdkVersion), the
                      name this server gives its library context, and whether it can create
                      the plugin object (createQoPlugin).
  replay FILE...      Start the plugin, bind one camera and push each FILE, an ONVIF metadata
                      document, to the camera's device agent, waiting for the agent to finish
                      with one document before sending the next. Prints every packet the plugin
                      delivers, one line each, then a summary.
  settings get [--camera URL] [--login NAME] [--password TEXT]
                      Bind the camera at URL (default http://127.0.0.2/, where lumo-camera
                      listens; login and password default to admin), open its settings dialog
                      and print what it shows: one NAME=VALUE line per setting, sorted by name,
                      figures as their JSON.
  settings set NAME=VALUE... [the options of settings get]
                      Apply the changes as a user applies the dialog, wait until the plugin's
                      writes to the camera are over (about 5 s), then print the dialog of the
                      camera bound afresh.
  demo [--plugin PATH] [--camera-address ADDRESS] [--seconds N] [--rate N] [--seed N]
       [--json] [--svg PATH] [--quiet]
                      Start the substitute camera on ADDRESS port 80 (default 127.0.0.2;
                      without it the demo goes on with the metadata part alone), bind it with
                      the dialog's defaults, draw two counting lines and a region and read them
                      back, then play N seconds (default 20) of a generated street scene, N
                      documents per second (default 10), from scene seed N (default 1), eight
                      times faster than real time. Prints every delivered packet (--json: one
                      JSON object per line, the summary last; --quiet: no packets), a summary
                      and where it drew the last frame with the figures (--svg, default
                      demo-frame.svg in the current directory).
  bench [--plugin PATH] [--cameras N] [--rate N] [--seconds N] [--seed N] [--simulate-cores N]
        [--sample-every N] [--json]
                      Bind N cameras (default 128) at http://127.0.0.1/, where no camera
                      listens, and feed each device agent N generated documents per second
                      (default 10, paced) for N seconds (default 30), from four scenes seeded
                      from N (default 1) and generated beforehand (one minute of them, pushed
                      again a minute later in longer runs). Prints documents pushed,
                      processed and dropped while the agent was busy; the binding's wall time
                      and process CPU per camera; the plugin's CPU as a share of one core and
                      per document pushed: process CPU (getrusage) less the CPU of the bench's
                      own threads (CLOCK_THREAD_CPUTIME_ID: feeding outside the push calls,
                      taking the deliveries, sampling), over the feed's wall time;
                      push-to-delivery latency p50 and p99 (from a fixed histogram, 2.3 %
                      buckets); peak thread count (sampled every 50 ms); peak (VmHWM) and
                      current (VmRSS) resident memory. --simulate-cores N: the plugin sizes its
                      threads as on a machine with N hardware threads. --sample-every N: also
                      resident memory, threads and open files every N seconds of the feed.
                      --json: one JSON object instead. The plugin's log is discarded during
                      the run.
  bench --churn N [--plugin PATH] [--seed N] [--simulate-cores N] [--json]
                      Bind a camera, push it five documents and one settings change, release
                      it; N times in one process. Prints threads, open files and resident
                      memory before the first camera, after the first 20 rounds, half-way and
                      after the last (each once the settings writes have ended; memory also
                      once the heap has handed its free pages back), and the peak threads.
  live --rtsp URL [--rtsp URL...] [--camera URL] [--login NAME] [--password TEXT]
       [--seconds N] [--json] [--svg PATH] [--udp] [--quiet] [--bench] [--plugin PATH]
                      Pull each camera's RTSP stream as a media server does (TCP; --udp: UDP),
                      bind one camera per URL (at --camera, default http://HOST/ of the RTSP
                      URL; login and password, default admin, for both), cut the ONVIF metadata
                      track into documents at the marker bit and push them, stamped from the
                      sender reports, with the H.264 frames' size, for N seconds (default 10).
                      Prints every delivered packet (one camera only) and the summary with the
                      documents received, lost in transport and oversized, and the video's codec
                      and size. A camera that goes away is pulled again after a growing delay;
                      a refused login, a URL that does not answer or a stream without a metadata
                      track ends the run with one line. --svg PATH: the last frame's boxes and
                      the dialog's figures over the camera's decoded picture. --bench: the
                      plugin's CPU per document and the host's per stream.
  help                Print this text (also --help and -h).

Options:
  --plugin PATH       The plugin library. Default: liblumo_analytics_plugin.so in the
                      directory of lumo-host, or in the plugin folder where it was installed.
  --device-url URL    replay: the camera URL in the device information; the plugin talks to
                      the IPv4 address in it. Default: http://127.0.0.1/
  --login NAME        replay: the camera login. Default: admin
  --password TEXT     replay: the camera password. Default: empty
  --start-us N        replay: timestamp of the first document in microseconds. Default: 1000000
  --step-us N         replay: timestamp step from one document to the next. Default: 100000
  --wait-ms N         replay: how long to wait for the first packet of a document before
                      counting it as dropped. Default: 250

Packet lines (one per packet; TIME in microseconds, TRACK the first 8 hexadecimal digits of the
track id, boxes as X,Y,WIDTH,HEIGHT in fractions of the frame):
  object t=TIME dur=DURATION: TYPE track=TRACK box=BOX {ATTRIBUTE: VALUE, ...}; ...
  best-shot t=TIME track=TRACK url="URL" {ATTRIBUTE: VALUE, ...}
  event t=TIME dur=DURATION: TYPE track=TRACK active caption="TEXT" description="TEXT"; ...

Summary of a replay: documents pushed; processed (the plugin delivered packets for them);
dropped (nothing came back: not a metadata document, nothing to report, or the agent was still
busy); packets by kind; plugin objects still alive after the shutdown; push-to-delivery latency
(50th and 99th percentile). The demo's summary tells documents dropped while the agent was busy
from lost ones and adds the tracks (each should keep one track id), events by type and each
line's count.

The plugin writes its own log to the standard error stream (the demo: to demo-plugin.log next to
its picture).

Exit status: 0 on success; 1 when the plugin cannot be loaded or started, a file cannot be read
or is malformed, the camera does not answer or refuses the login, or plugin objects outlive the
shutdown; 2 on a usage error.
)";

}  // namespace

const char* helpText() {
    return kHelpText;
}

int runLumoHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // Help is one text for every command, asked for anywhere before "--".
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h" || (&arg == &args.front() && arg == "help")) {
            out << helpText();
            return kExitOk;
        }
    }
    if (args.empty())
        return reportUsageError(err, "no command given");

    CLI::App root("lumo-host");
    root.set_help_flag();
    root.require_subcommand(1);
    VersionOptions version;
    ReplayOptions replay;
    SettingsOptions settings;
    DemoOptions demo;
    BenchOptions bench;
    LiveOptions live;
    const std::map<CLI::App*, std::function<int()>> commands = {
        {addVersionCommand(root, version), [&] { return runVersion(version, out, err); }},
        {addReplayCommand(root, replay), [&] { return runReplay(replay, out, err); }},
        {addSettingsCommand(root, settings),
         [&] { return runSettingsCommand(settings, out, err); }},
        {addDemoCommand(root, demo), [&] { return runDemoCommand(demo, out, err); }},
        {addBenchCommand(root, bench), [&] { return runBenchCommand(bench, out, err); }},
        {addLiveCommand(root, live), [&] { return runLiveCommand(live, out, err); }},
    };
    const auto named = root.get_subcommands(
        [&args](const CLI::App* command) { return command->get_name() == args.front(); });
    if (named.empty())
        return reportUsageError(err, "unknown command " + args.front());

    // CLI11 reads the arguments from the back.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    CLI::App* command = nullptr;
    try {
        root.parse(reversed);
        command = root.get_subcommands().front();
        if (command->get_name() == "settings")
            checkSettingsCommand(*command, settings);
        else
            refuseExtras(*command);
        if (command->get_name() == "replay" && replay.files.empty())
            throw UsageError("replay needs at least one FILE");
    } catch (const CLI::ParseError& e) {
        return reportUsageError(err, usageMessage(e));
    } catch (const UsageError& e) {
        return reportUsageError(err, e.what());
    }
    return commands.at(command)();
}

}  // namespace lumo::host
