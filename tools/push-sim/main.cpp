// push-sim: the chat platforms' stand-in as a program. Prints its port, then serves until its
// standard input closes. push_sim.h lists the routes.
#include <iostream>
#include <string>

#include "push_sim.h"

int main(int argc, char** argv) {
    jilan::pushsim::PushSim sim;
    // push-sim [KEY=SECRET ...]: robots that check signatures.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto eq = arg.find('=');
        if (eq == std::string::npos) {
            std::cerr << "用法：push-sim [KEY=SECRET ...]\n";
            return 2;
        }
        sim.setSecret(arg.substr(0, eq), arg.substr(eq + 1));
    }
    if (sim.start() == 0) {
        std::cerr << "push-sim：无法在 127.0.0.1 上监听\n";
        return 1;
    }
    std::cout << sim.port() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
