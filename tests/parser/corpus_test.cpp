// Real ONVIF documents of other makers, kept outside the repository: each gives null or a payload,
// and the outcome of each is printed.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "parser/payload_text.h"

namespace lumo_test {

TEST(RobustnessCorpusTest, EveryOtherMakersDocumentGivesNullOrAPayload) {
    namespace fs = std::filesystem;
    const fs::path folder = LUMO_SOURCE_DIR "/../shared/onvif-samples";
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "robustness corpus not found at " << folder.string();
    const std::set<fs::path> files{fs::directory_iterator(folder), fs::directory_iterator()};
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const PayloadPtr payload = parseText(std::string((std::istreambuf_iterator<char>(in)), {}));
        std::printf("  %-52s %s\n", file.filename().c_str(), payload ? "payload" : "null");
    }
}

}  // namespace lumo_test
