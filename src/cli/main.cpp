// jilan-harvester-cli: every run of the program that needs no window, with no toolkit at all.
#include <iostream>
#include <string>
#include <vector>

#include "io/durable_writer.h"
#include "net/curl_global.h"
#include "run.h"

int main(int argc, char** argv) {
    const jilan::net::CurlGlobal curl;
    // A closed reader or a file-size limit comes back from write() as an error to report.
    jilan::io::ignoreWriteSignals();
    const std::vector<std::string> args(argv, argv + argc);
    return jilan::cli::runCommandLine(jilan::cli::parseCommandLine(args, jilan::config::processEnv),
                                      "jilan-harvester-cli", std::cout, std::cerr);
}
