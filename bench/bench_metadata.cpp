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

namespace {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;

std::string color(int x, int y, int z) {
    return "<tt:Color><tt:ColorCluster><tt:Color X=\"" + std::to_string(x) + "\" Y=\"" +
           std::to_string(y) + "\" Z=\"" + std::to_string(z) +
           "\"/><tt:Weight>0.6</tt:Weight></tt:ColorCluster></tt:Color>";
}

// A frame of tracked persons, vehicles and best-shot persons, in that rotation, restarted every ten
// objects: the 100-object document holds ten times the mix of the 10-object one (4, 3 and 3), so
// their ratio measures how the cost grows with size, not a change of mix.
std::string makeDocument(int objects) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<tt:MetaDataStream xmlns:tt=\"http://www.onvif.org/ver10/schema\" "
        "xmlns:fc=\"http://www.onvif.org/ver20/analytics/humanface\" "
        "xmlns:bd=\"http://www.onvif.org/ver20/analytics/humanbody\" "
        "xmlns:tod=\"http://www.lumovane.com/onvif/tod\">\n"
        "  <tt:VideoAnalytics>\n"
        "    <tt:Frame UtcTime=\"2024-05-14T09:21:07.512Z\">\n"
        "      <tt:Transformation>\n"
        "        <tt:Translate x=\"-1.0\" y=\"1.0\"/>\n"
        "        <tt:Scale x=\"0.001041667\" y=\"-0.001851852\"/>\n"
        "      </tt:Transformation>\n";
    for (int i = 0; i < objects; ++i) {
        const std::string id = std::to_string(1000 + i);
        const std::string x = std::to_string(10 * i % 1800);
        text += "      <tt:Object ObjectId=\"" + id +
                "\">\n        <tt:Appearance>\n"
                "          <tt:Shape>\n"
                "            <tt:BoundingBox left=\"" +
                x + ".0\" top=\"240.0\" right=\"" + x +
                "96.0\" bottom=\"516.0\"/>\n"
                "            <tt:CenterOfGravity x=\"" +
                x +
                "48.0\" y=\"378.0\"/>\n"
                "          </tt:Shape>\n";
        switch (i % 10 % 3) {
            case 0:
                text +=
                    "          <tt:Class><tt:Type Likelihood=\"0.91\">Human</tt:Type>"
                    "</tt:Class>\n";
                break;
            case 1:
                text +=
                    "          <tt:Class><tt:Type Likelihood=\"0.95\">Vehicle</tt:Type>"
                    "</tt:Class>\n          <tt:VehicleInfo><tt:Type Likelihood=\"0.83\">Car"
                    "</tt:Type>" +
                    color(235, 128, 128) + "</tt:VehicleInfo>\n";
                break;
            default:
                text +=
                    "          <tt:Class><tt:Type Likelihood=\"0.93\">Human</tt:Type>"
                    "</tt:Class>\n"
                    "          <tt:ImageRef>http://192.0.2.10/bestshot/" +
                    id +
                    ".jpg</tt:ImageRef>\n"
                    "          <tod:CaptureTime>2024-05-14T09:21:08.880Z</tod:CaptureTime>\n"
                    "          <tt:HumanFace><fc:Gender>Female</fc:Gender><fc:Accessory>"
                    "<fc:Opticals><fc:Wear>true</fc:Wear></fc:Opticals><fc:Mask><fc:Wear>"
                    "false</fc:Wear></fc:Mask></fc:Accessory></tt:HumanFace>\n"
                    "          <tt:HumanBody><bd:Clothing><bd:Tops>" +
                    color(76, 85, 255) + "</bd:Tops><bd:Bottoms>" + color(29, 255, 107) +
                    "</bd:Bottoms></bd:Clothing><bd:Belonging><bd:Bag><bd:Category>"
                    "Backpack</bd:Category></bd:Bag></bd:Belonging></tt:HumanBody>\n";
                break;
        }
        text += "        </tt:Appearance>\n      </tt:Object>\n";
    }
    return text + "    </tt:Frame>\n  </tt:VideoAnalytics>\n</tt:MetaDataStream>\n";
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
