// TempDir: a fresh directory under the system's temporary directory, removed with everything in
// it when the object goes away. Lets file tests run side by side without sharing paths.
//
// Threading: one owner; the directory's files may be used from any thread.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace qo::kit::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qo_kit.XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
        EXPECT_FALSE(m_path.empty()) << "cannot create a temporary directory";
    }

    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }

    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

    /** Creates or replaces the file; returns its path. */
    std::string write(const std::string& name, const std::string& contents) const {
        const std::string filePath = file(name);
        std::ofstream(filePath, std::ios::binary) << contents;
        return filePath;
    }

    static std::string read(const std::string& filePath) {
        std::ifstream in(filePath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};

}  // namespace qo::kit::test
