// lumo-host: runs the LUMO analytics plugin the way a media server does.
#include <iostream>
#include <string>
#include <vector>

#include "commands/command_line.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return lumo::host::runLumoHost(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "lumo-host: " << e.what() << std::endl;
        return lumo::host::kExitFailure;
    }
}
