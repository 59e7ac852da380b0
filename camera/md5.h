// MD5 (RFC 1321), the hash of HTTP digest authentication.
//
// Pure functions; any thread.
#pragma once

#include <string>

namespace lumo_camera {

/** The MD5 hash of the bytes of `data` as 32 lower-case hex digits. */
std::string md5Hex(const std::string& data);

}  // namespace lumo_camera
