// `lumo-host settings` against the substitute camera: get prints the dialog the plugin fills from
// the camera, set writes through the plugin and prints what comes back, and a camera that is not
// there or refuses the login is named in one line before the plugin starts.
#include "commands/settings_command.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_line.h"
#include "support/camera_fixture.h"

namespace lumo::host {
namespace {

class SettingsCommand : public camera_test::CameraFixture {
protected:
    SettingsCommand() : CameraFixture(46) {}

    int run(std::map<std::string, std::string> changes, const std::string& address,
            const std::string& password) {
        SettingsRequest request;
        request.set = !changes.empty();
        request.pluginPath = LUMO_PLUGIN_PATH;
        request.device.url = "http://" + address + "/";
        request.device.login = user();
        request.device.password = password;
        request.changes = std::move(changes);
        request.unitTestOptions = {{"writeHoldOffMs", "50"}};
        out.str("");
        err.str("");
        return runSettings(request, out, err);
    }

    std::vector<std::pair<std::string, std::string>> printed() const {
        std::vector<std::pair<std::string, std::string>> lines;
        std::istringstream text(out.str());
        for (std::string line; std::getline(text, line);)
            lines.emplace_back(line.substr(0, line.find('=')), line.substr(line.find('=') + 1));
        return lines;
    }

    std::string value(const std::string& name) const {
        for (const auto& [printedName, printedValue] : printed()) {
            if (printedName == name)
                return printedValue;
        }
        return "(not printed)";
    }

    /** The figure's points in camera units, "x,y,...,". */
    std::string points(const std::string& name) const {
        const auto figure = nlohmann::json::parse(value(name)).at("figure");
        std::string text;
        for (const auto& point : figure.at("points")) {
            for (const auto& number : point)
                text += std::to_string(std::lround(number.get<double>() * 1000)) + ",";
        }
        return text;
    }

    std::ostringstream out;
    std::ostringstream err;
};

// The whole model's readback outruns the request time-out under TSan.
#ifndef __SANITIZE_THREAD__
TEST_F(SettingsCommand, GetPrintsEverySettingOfTheDialogSortedWithTheCamerasValues) {
    camera->parameters().set("AIX_TAMPERING_SENSITIVITY", "2");
    camera->parameters().set("AIX_LINE_ENABLE0", "1");
    ASSERT_EQ(lumo_camera::ParameterTable::WriteResult::ok,
              camera->parameters().write("AIX_LINE_POSITION00", "100,200,500,600"));
    camera->clearRequests();

    ASSERT_EQ(kExitOk, runLumoHost({"settings", "get", "--plugin", LUMO_PLUGIN_PATH, "--camera",
                                    "http://" + ip() + "/onvif/device_service", "--login", user(),
                                    "--password", password()},
                                   out, err))
        << err.str();
    const auto lines = printed();
    EXPECT_EQ(25u + 8 * 39, lines.size()) << "every setting of the dialog, repeaters expanded";
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
    EXPECT_EQ("2", value("AIX_TAMPERING_SENSITIVITY"));
    EXPECT_EQ("true", value("AIX_LINE_ENABLE1"));
    EXPECT_EQ("100,200,500,600,", points("AIX_LINE_POSITION1"));
    for (const auto& request : camera->requests())
        EXPECT_NE(0u, request.uri.rfind("/httpapi/WriteParam", 0)) << "a readback writes nothing";
}

TEST_F(SettingsCommand, SetWritesEveryChangeAndFiguresComeBackClockwise) {
    // Enabling detection stops the plugin's walk over the changes; the rest must still arrive.
    camera->parameters().set("AIX_OBJECT_DETECTION_ENABLE", "0");
    const std::string counterClockwise = R"([[0.1,0.1],[0.1,0.5],[0.5,0.5],[0.5,0.1]]},)";
    ASSERT_EQ(kExitOk,
              run({{"AIX_OBJECT_DETECTION_ENABLE", "true"},
                   {"AIX_PERSON_SENSITIVITY", "3"},
                   {"AIX_REGION_ENABLE1", "true"},
                   {"AIX_REGION_POSITION1",
                    R"({"figure":{"points":)" + counterClockwise + R"("showOnCamera":true})"},
                   {"AIX_EXCLUDE_REGION_POSITION2",
                    R"({"figure":{"points":[[0.2,0.6],[0.4,0.9],[0.6,0.6]]}})"},
                   {"AIX_LINE_POSITION3",
                    R"({"figure":{"points":[[0.95,0.5],[0.05,0.5]],"direction":"left"}})"}},
                  ip(), password()))
        << err.str();

    EXPECT_EQ("1", camera->parameters().read("AIX_OBJECT_DETECTION_ENABLE").value_or(""));
    EXPECT_EQ("3", camera->parameters().read("AIX_PERSON_SENSITIVITY").value_or(""));
    EXPECT_EQ("true", value("AIX_OBJECT_DETECTION_ENABLE"));
    EXPECT_EQ("3", value("AIX_PERSON_SENSITIVITY"));
    EXPECT_EQ("true", value("AIX_REGION_ENABLE1"));
    EXPECT_EQ("100,100,500,100,500,500,100,500,", points("AIX_REGION_POSITION1"));
    EXPECT_EQ("200,600,600,600,400,900,", points("AIX_EXCLUDE_REGION_POSITION2"));
    EXPECT_EQ("950,500,50,500,", points("AIX_LINE_POSITION3"));

    EXPECT_EQ(kExitUsage, run({{"AIX_NO_SUCH_SETTING", "1"}}, ip(), password()));
    EXPECT_EQ(
        "lumo-host: the dialog has no setting AIX_NO_SUCH_SETTING: lumo-host settings get "
        "lists them all\n",
        err.str());
}
#endif

TEST_F(SettingsCommand, CameraThatIsAbsentOrRefusesTheLoginIsNamedInOneLine) {
    const std::string nobody = "127.47.255.254";  // No fixture's address ends in 254.
    const std::string cases[][3] = {
        {ip(), "wrong",
         "camera at " + ip() + " refused the login \"" + user() +
             "\": check --login and --password\n"},
        {nobody, password(),
         "camera at " + nobody +
             " did not answer (Couldn't connect to server): is lumo-camera "
             "running, or is --camera the camera's URL?\n"},
    };
    for (const auto& [address, password, line] : cases) {
        EXPECT_EQ(kExitFailure, run({}, address, password)) << address;
        EXPECT_EQ("lumo-host: " + line, err.str());
        EXPECT_EQ("", out.str());
    }
}

}  // namespace
}  // namespace lumo::host
