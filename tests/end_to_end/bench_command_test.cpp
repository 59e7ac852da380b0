// `lumo-host bench` on a small scale: the accounting of its figures, not their size (that is
// what the command is for).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <thread>

#include "end_to_end/end_to_end_support.h"
#include "host/command_line.h"

namespace lumo::host {
namespace {

TEST(BenchCommandTest, FiguresAddUp) {
    std::ostringstream out, err;
    ASSERT_EQ(runLumoHost({"bench", "--plugin", test::pluginPath(), "--cameras", "4", "--rate", "5",
                           "--seconds", "1", "--json"},
                          out, err),
              kExitOk)
        << err.str();
    const auto json = nlohmann::json::parse(out.str());
    const auto& documents = json.at("documents");
    EXPECT_EQ(documents.at("pushed"), 4 * 5 * 1);
    EXPECT_GT(documents.at("processed"), 0);
    EXPECT_LE(documents.at("processed").get<int>() + documents.at("dropped").get<int>(),
              documents.at("pushed").get<int>());
    EXPECT_LE(documents.at("droppedWhileBusy"), documents.at("dropped"));
    EXPECT_GE(json.at("packets").at("object"), documents.at("processed"));
    EXPECT_LE(json.at("latencyMs").at("p50"), json.at("latencyMs").at("p99"));
    EXPECT_EQ(json.at("liveObjects"), "none");
    EXPECT_LT(json.at("pluginCpu").at("coreShare"),
              std::max(1u, std::thread::hardware_concurrency()));
    // Every agent runs a pool of its own, so the threads outnumber the cameras.
    EXPECT_GT(json.at("threads").at("atEnd"), 4);
    EXPECT_GE(json.at("threads").at("peak"), json.at("threads").at("atEnd"));
    EXPECT_GE(json.at("memoryMb").at("peakResident"), json.at("memoryMb").at("resident"));

    EXPECT_EQ(runLumoHost({"bench", "--cameras", "0"}, out, err), kExitUsage);
    EXPECT_EQ(runLumoHost({"bench", "--rate"}, out, err), kExitUsage);
}

}  // namespace
}  // namespace lumo::host
