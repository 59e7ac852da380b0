// Camera check: one digest-authenticated parameter read of a camera, made by the server itself
// before the plugin talks to the camera. The plugin's own camera requests fail silently (a
// setting the camera does not answer is simply missing from the dialog), so only this read can
// tell a person that the camera is not there or that it refuses the login.
//
// Threading: free functions without shared state; may be called from any thread.
#pragma once

#include <string>

namespace lumo::host {

/** The address the plugin reaches the camera at: the leftmost IPv4 address in the device URL;
 * empty when there is none. */
std::string cameraAddress(const std::string& deviceUrl);

/**
 * Reads one analytics parameter from port 80 of `address`, as the plugin does.
 * @return Empty when the camera answered; otherwise one line saying what happened and what to do.
 */
std::string checkCamera(const std::string& address, const std::string& login,
                        const std::string& password);

}  // namespace lumo::host
