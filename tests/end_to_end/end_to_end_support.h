// Where things are, and a document in the camera's dialect.
#pragma once

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "onvif_document_writer.h"

namespace lumo::host::test {

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

/** One person in a frame of 1024 x 512 camera units, at (256, 128)-(512, 384). */
inline std::string personFrameDocument() {
    namespace onvif = lumo_camera::onvif;
    return onvif::document(onvif::frame(
        onvif::transformation(0.001953125, -0.00390625) +
        onvif::object(7, onvif::shape(256, 128, 512, 384) + onvif::classType("Human"))));
}

}  // namespace lumo::host::test
