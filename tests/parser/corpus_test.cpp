// Real ONVIF documents of other makers (kept outside the repository): each gives null or a
// payload, and the outcome of each is recorded.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "parser/document_builder.h"

namespace lumo_test {

namespace fs = std::filesystem;

TEST(RobustnessCorpusTest, EveryOtherMakersDocumentGivesNullOrAPayload) {
    const fs::path folder = LUMO_SOURCE_DIR "/../shared/onvif-samples";
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "robustness corpus not found at " << folder.string();
    std::set<fs::path> files;  // sorted, so that the record reads the same on every run
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.insert(entry.path());
    }
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const PayloadPtr payload = parseText(std::string((std::istreambuf_iterator<char>(in)), {}));
        const std::string outcome = payload ? "payload: " + std::to_string(payload->objectCount) +
                                                  " objects, " +
                                                  std::to_string(payload->eventCount) + " events"
                                            : "null";
        std::printf("  %-52s %s\n", file.filename().c_str(), outcome.c_str());
    }
}

}  // namespace lumo_test
