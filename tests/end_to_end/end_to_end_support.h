// Where things are, and a document in the camera's dialect.
#pragma once

#include <fstream>
#include <string>

#include <gtest/gtest.h>

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
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<tt:MetaDataStream xmlns:tt="http://www.onvif.org/ver10/schema">
  <tt:VideoAnalytics><tt:Frame UtcTime="2024-05-14T09:21:07.512Z">
    <tt:Transformation><tt:Translate x="-1.0" y="1.0"/><tt:Scale x="0.001953125" y="-0.00390625"/></tt:Transformation>
    <tt:Object ObjectId="7"><tt:Appearance>
      <tt:Shape><tt:BoundingBox left="256.0" top="128.0" right="512.0" bottom="384.0"/></tt:Shape>
      <tt:Class><tt:Type Likelihood="0.9">Human</tt:Type></tt:Class>
    </tt:Appearance></tt:Object>
  </tt:Frame></tt:VideoAnalytics>
</tt:MetaDataStream>
)";
}

}  // namespace lumo::host::test
