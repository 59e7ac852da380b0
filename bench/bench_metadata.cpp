// The metadata parser against a bare rapidxml parse with the same flags, and pugixml for
// reference, on documents of 1, 10 and 100 objects in the camera's dialect. Every iteration
// copies the text into a writable buffer first, as the device agent does, in all three.
//
// Targets: ConvertToPayload within 1.5x of bare rapidxml; the 100-object document within 10x of
// the 10-object one; fewer than 0.01 minor page faults per 100-object document once warm
// (counter "minflt/doc"). The ratios are printed after the table.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <pugixml.hpp>
#include <rapidxml.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "lumo/metadata.h"
#include "onvif_document_writer.h"

namespace {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;

// A frame of tracked persons, vehicles and best-shot persons, in that rotation, restarted every ten
// objects: the 100-object document holds ten times the mix of the 10-object one (4, 3 and 3), so
// their ratio measures how the cost grows with size, not a change of mix.
std::string makeDocument(int objects) {
    namespace onvif = lumo_camera::onvif;
    const auto colour = [](int y, int u, int v) {
        return onvif::colour(onvif::colourCluster(y, u, v, "0.6"));
    };
    std::string content = onvif::transformation(2.0 / 1920, -2.0 / 1080);
    for (int i = 0; i < objects; ++i) {
        const int id = 1000 + i;
        const int x = 10 * i % 1800;
        std::string appearance = onvif::shape(x, 240, x + 96, 516, true);
        switch (i % 10 % 3) {
            case 0:
                appearance += onvif::classType("Human", "0.91");
                break;
            case 1:
                appearance += onvif::classType("Vehicle", "0.95") +
                              onvif::vehicleInfo("Car", "0.83", colour(235, 128, 128));
                break;
            default:
                appearance +=
                    onvif::classType("Human", "0.93") +
                    onvif::imageRef("http://192.0.2.10/bestshot/" + std::to_string(id) + ".jpg",
                                    "2024-05-14T09:21:08.880Z") +
                    onvif::humanFace({"Female", true}) +
                    onvif::humanBody(
                        {"LongSleeve", colour(76, 85, 255), "Trousers", colour(29, 255, 107)});
                break;
        }
        content += onvif::object(id, appearance);
    }
    return onvif::document(onvif::frame(content));
}

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

template <class Parse>
void measure(benchmark::State& state, Parse parse) {
    const std::string text = makeDocument(static_cast<int>(state.range(0)));
    std::vector<char> buffer(text.size() + 1);
    const auto once = [&] {
        std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
        parse(buffer.data(), text.size());
    };
    for (int i = 0; i < 16; ++i)  // reach the steady state before counting faults
        once();
    const long faultsBefore = minorFaults();
    for (auto _ : state)
        once();
    state.counters["minflt/doc"] =
        static_cast<double>(minorFaults() - faultsBefore) / static_cast<double>(state.iterations());
    state.counters["bytes"] = static_cast<double>(text.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ConvertToPayload(benchmark::State& state) {
    measure(state, [](char* text, std::size_t size) {
        Metadata::_Payload* payload = Metadata::ConvertToPayload(text, static_cast<int>(size));
        benchmark::DoNotOptimize(payload);
        if (!payload)
            std::abort();
        delete payload;
    });
}

void BM_RapidxmlBare(benchmark::State& state) {
    measure(state, [](char* text, std::size_t) {
        rapidxml::xml_document<char> document;
        document.parse<rapidxml::parse_trim_whitespace | rapidxml::parse_normalize_whitespace>(
            text);
        benchmark::DoNotOptimize(document.first_node());
    });
}

void BM_Pugixml(benchmark::State& state) {
    measure(state, [](char* text, std::size_t size) {
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer_inplace(text, size));
    });
}

// Nine repetitions, interleaved: the machine's passing disturbances then fall on every benchmark
// alike rather than on whichever ran at the time. The ratios are taken between the least
// disturbed repetitions (minimum CPU time) and, beside them, between medians.
constexpr int kRepetitions = 9;

double minimum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

void repeated(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(1)->Arg(10)->Arg(100)->Repetitions(kRepetitions);
    benchmark->ComputeStatistics("min", minimum);
}

BENCHMARK(BM_ConvertToPayload)->Apply(repeated);
BENCHMARK(BM_RapidxmlBare)->Apply(repeated);
BENCHMARK(BM_Pugixml)->Apply(repeated);

// Shows the aggregates as usual, then the ratios the targets are stated in.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using benchmark::ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate)
                m_times[run.aggregate_name][run.run_name.function_name + "/" + run.run_name.args] =
                    run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nRatios of CPU times, least disturbed repetitions (medians in brackets)\n");
        std::printf("ConvertToPayload / bare rapidxml (target <= 1.5):");
        for (const char* objects : {"1", "10", "100"}) {
            const std::string convert = std::string("BM_ConvertToPayload/") + objects;
            const std::string bare = std::string("BM_RapidxmlBare/") + objects;
            std::printf(" %s at %s objects", ratios(convert, bare).c_str(), objects);
        }
        std::printf(
            "\n100 objects / 10 objects (target <= 10): ConvertToPayload %s, bare rapidxml "
            "%s, pugixml %s\n",
            ratios("BM_ConvertToPayload/100", "BM_ConvertToPayload/10").c_str(),
            ratios("BM_RapidxmlBare/100", "BM_RapidxmlBare/10").c_str(),
            ratios("BM_Pugixml/100", "BM_Pugixml/10").c_str());
        std::fflush(stdout);
    }

private:
    double ratio(const std::string& statistic, const std::string& a, const std::string& b) {
        const auto& times = m_times[statistic];
        const auto x = times.find(a);
        const auto y = times.find(b);
        return x == times.end() || y == times.end() || y->second <= 0 ? 0 : x->second / y->second;
    }

    std::string ratios(const std::string& a, const std::string& b) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f (%.2f)", ratio("min", a, b), ratio("median", a, b));
        return text;
    }

    // CPU time per iteration by statistic, then by benchmark.
    std::map<std::string, std::map<std::string, double>> m_times;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    arguments.insert(arguments.begin() + 1, {interleave, aggregatesOnly});
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
