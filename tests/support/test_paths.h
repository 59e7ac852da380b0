// Where the built plugin and the sources are, and files written for a test; shared by the
// end-to-end and live suites.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/sample_documents.h"

namespace lumo::host::test {

using lumo_test::personFrameDocument;
using lumo_test::sampleDocument;

inline std::string pluginPath() {
    return LUMO_PLUGIN_PATH;
}

inline std::string sourcePath(const std::string& relative) {
    return std::string(LUMO_SOURCE_DIR) + "/" + relative;
}

inline std::string writeTempFile(const std::string& name, const std::string& contents) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
}

}  // namespace lumo::host::test
