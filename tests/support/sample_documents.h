// Metadata documents in the camera's dialect: the samples shipped with the sources, and a frame
// with one person written for the test.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "onvif_document_writer.h"

namespace lumo_test {

/** A sample of samples/onvif/ by its file name; empty when it cannot be read. */
inline std::string sampleDocument(const std::string& name) {
    std::ifstream file(std::string(LUMO_SOURCE_DIR) + "/samples/onvif/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

/** One person in a frame of 1024 x 512 camera units, at (256, 128)-(512, 384). */
inline std::string personFrameDocument() {
    namespace onvif = lumo_camera::onvif;
    return onvif::document(onvif::frame(
        onvif::transformation(0.001953125, -0.00390625) +
        onvif::object(7, onvif::shape(256, 128, 512, 384) + onvif::classType("Human"))));
}

}  // namespace lumo_test
