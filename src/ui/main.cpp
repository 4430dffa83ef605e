// jilan-harvester: the window, or with --harvest / --query ... the same run as
// jilan-harvester-cli, answered before any toolkit exists.
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QStringList>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "cli/command_line.h"
#include "cli/run.h"
#include "desktop_program.h"
#include "io/durable_writer.h"
#include "main_window.h"
#include "model_conversions.h"
#include "net/curl_global.h"

namespace {

constexpr std::string_view kProgram = "jilan-harvester";

int runWindow(QApplication& qtApp, jilan::cli::Settings settings) {
    // A bad score.toml stops the program as it stops a run without a window.
    if (const std::optional<std::string> problem = jilan::cli::loadScoreWeights(settings)) {
        std::cerr << kProgram << ": " << *problem << '\n';
        return jilan::cli::exitStatus(jilan::cli::ExitCode::BadOptions);
    }
    jilan::ui::DesktopProgram program(jilan::cli::windowOptions(settings));
    if (!program.load()) {
        return 0;
    }
    program.window().centreOnScreen();
    program.window().show();
    // Returns 0 once the exit question's answer has ended the program.
    return qtApp.exec();
}

}  // namespace

int main(int argc, char** argv) {
    const jilan::net::CurlGlobal curl;
    // A closed reader or a file-size limit comes back from write() as an error to report.
    jilan::io::ignoreWriteSignals();
    const std::vector<std::string> raw(argv, argv + argc);
    if (!jilan::cli::needsWindow(raw, jilan::config::processEnv)) {
        return jilan::cli::runCommandLine(
            jilan::cli::parseCommandLine(raw, jilan::config::processEnv), kProgram, std::cout,
            std::cerr);
    }

    QApplication qtApp(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("jilan-harvester"));
    QCoreApplication::setApplicationVersion(QStringLiteral(JILAN_VERSION));
    // The toolkit has taken its own options out by now.
    std::vector<std::string> args;
    for (const QString& arg : QCoreApplication::arguments()) {
        args.push_back(jilan::ui::fromQt(arg));
    }
    const jilan::cli::ParsedCommandLine parsed =
        jilan::cli::parseCommandLine(args, jilan::config::processEnv);
    if (!parsed.ok() || parsed.settings.mode != jilan::cli::RunMode::Window) {
        return jilan::cli::runCommandLine(parsed, kProgram, std::cout, std::cerr);
    }
    if (!parsed.sitesFileProblem.empty()) {
        // The window opens all the same, on the addresses the file did not spoil.
        QMessageBox::warning(nullptr, QStringLiteral("霁岚域名回收采集器"),
                             jilan::ui::toQt(parsed.sitesFileProblem + "\n将使用内置网址。"));
    }
    return runWindow(qtApp, parsed.settings);
}
