// Text helpers of the camera HTTP interface: percent-encoding, the builders of read and write
// queries, the reader of a parameter reply, the camera address taken from a device URL, and the
// text edits that rename a setting into a camera parameter (dialog slots count from 1, camera
// slots from 0; the live shape of a figure is read under its "CURRENT_POSITION" name). The agent
// itself reads each name once into a SettingName (setting_name.h) instead of editing its text.
//
// All functions are pure and may run on any number of threads at once.
#pragma once

#include <string>

namespace qo::vms_server_plugins::analytics::lumo {

/** Percent-encodes every byte except ASCII letters, digits and "-._~" (lower-case hex). */
std::string urlEncode(const std::string& text);

/**
 * Query assigning one camera parameter: "WriteParam?action=writeparam&" NAME "=" VALUE "&".
 * Name and value are both percent-encoded, so neither can add parameters to the query.
 */
std::string writeQuery(const std::string& name, const std::string& value);

/** Query reading one camera parameter: "ReadParam?action=readparam&" NAME "=&" (name encoded). */
std::string readQuery(const std::string& name);

/**
 * The value of a camera reply NAME=VALUE: the text after the first "=" up to the end of that
 * line (possibly empty); "0" when the reply holds no "=".
 */
std::string getValueAfterEqualSign(const std::string& reply);

/** The first run of four dot-separated groups of 1 to 3 digits in the URL, or "". */
std::string extractIpAddress(const std::string& url);

/** The name with its last character lowered by one (0 wraps to 9) when that is a digit. */
std::string decrementLastDigit(const std::string& name);

/** The last decimal digit of the text as a one-character text, or "". */
std::string extractLastDigit(const std::string& text);

/** The name with every "POSITION" replaced by "CURRENT_POSITION". */
std::string addCurrentStr(const std::string& name);

}  // namespace qo::vms_server_plugins::analytics::lumo
