#include "qo/kit/dump.h"

#include <algorithm>
#include <fstream>

#include "qo/kit/utils.h"

namespace qo::kit::debug {

namespace {

constexpr int kOneLineDumpMaxBytes = 8;
constexpr int kBytesPerDumpLine = 16;

int byteCount(const void* bytes, int size) {
    return bytes && size > 0 ? size : 0;
}

void report(const detail::PrintFunc& print, const std::string& text) {
    if (print)
        print(text.c_str());
}

/** Replaces the file with the given bytes and reports; `what` describes them. */
void saveToFile(const detail::PrintFunc& print, const std::string& dir, const std::string& filename,
                const std::string& what, const char* data, size_t size) {
    const std::string path = utils::absolutePath(dir, filename);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        report(print, "####### ERROR: Unable to rewrite file " + path);
        return;
    }
    report(print, what + path);
    if (size > 0)
        out.write(data, static_cast<std::streamsize>(size));
    out.close();
    // Opening is not enough: a full disk shows only when the data is written out.
    if (out.fail())
        report(print, "####### ERROR: Unable to write file " + path);
}

}  // namespace

std::string hexDumpLine(const void* bytes, int size, int bytesPerLine) {
    const int count = byteCount(bytes, size);
    if (count < 1)
        return {};
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    const auto* p = static_cast<const unsigned char*>(bytes);

    std::string result;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            result.push_back(' ');
        result.push_back(kHexDigits[p[i] >> 4]);
        result.push_back(kHexDigits[p[i] & 0xF]);
    }
    if (count < bytesPerLine)
        result.append(3 * static_cast<size_t>(bytesPerLine - count), ' ');
    result += " | ";
    for (int i = 0; i < count; ++i)
        result.push_back(p[i] >= 32 && p[i] <= 126 ? static_cast<char>(p[i]) : '.');
    return result;
}

namespace detail {

void printHexDump(const PrintFunc& print, const char* caption, const void* bytes, int size) {
    const int count = byteCount(bytes, size);
    std::string text = utils::format(
        "####### Hex dump \"%s\", %d bytes @%p:", caption ? caption : "", count, bytes);
    if (count <= kOneLineDumpMaxBytes) {
        text += " { " + hexDumpLine(bytes, count, 0) + " }";
    } else {
        const auto* p = static_cast<const unsigned char*>(bytes);
        text += "\n{\n";
        for (int offset = 0; offset < count; offset += kBytesPerDumpLine) {
            text += "\n    " + hexDumpLine(p + offset, std::min(kBytesPerDumpLine, count - offset),
                                           kBytesPerDumpLine);
        }
        text += "\n}";
    }
    report(print, text);
}

void saveStr(const PrintFunc& print, const std::string& dir, const std::string& filename,
             const std::string& caption, const std::string& str) {
    saveToFile(print, dir, filename, "####### Saving string (" + caption + ") to file ", str.data(),
               str.size());
}

void saveBin(const PrintFunc& print, const std::string& dir, const std::string& filename,
             const void* bytes, int size) {
    const int count = byteCount(bytes, size);
    saveToFile(print, dir, filename, utils::format("####### Saving %d byte(s) to file ", count),
               static_cast<const char*>(bytes), static_cast<size_t>(count));
}

}  // namespace detail
}  // namespace qo::kit::debug
