#include "headless.h"

#include <ostream>

#include "cli_run.h"
#include "program/application.h"

namespace jilan::cli {

HeadlessProgram::HeadlessProgram(const Settings& options, std::ostream& err, StatusEcho echo)
    : pool(options.limits), application(form, platform, pool, windowOptions(options)) {
    // Mirrors the status line to the stream, one line per change (or to `echo`, the progress
    // line); a quiet run keeps only its own summary, so that a failure says why without every
    // page's progress.
    if (!options.quiet) {
        statusEcho = form.S1.changed.connect([this, &err, echo = std::move(echo)] {
            if (echo) {
                echo(form.status());
            } else {
                err << form.status() << '\n' << std::flush;
            }
        });
    }
}

void HeadlessProgram::drain() {
    while (platform.tickerRunning() && !form.ended()) {
        pool.poll(platform.tickerIntervalMs());
        platform.tick();
    }
}

int runHeadlessQuery(const std::string& domain, const Settings& options, std::ostream& out,
                     std::ostream& err) {
    HeadlessProgram program(options, err);
    app::Form1& form = program.form;
    form.List1.addItem(domain);
    form.List1.setListIndex(0);
    form.List1.DblClick.raise();

    for (const app::Label* label : {&form.Label1, &form.Label2, &form.Label13, &form.Label12,
                                    &form.Label8, &form.Label9, &form.Label10, &form.Label11}) {
        out << label->caption() << '\n';
    }
    out << form.Text2.text() << '\n';
    if (program.application.queries().lastQueryFailed()) {
        // The status line names the part that failed; in quiet runs it is the only word of it.
        if (options.quiet) {
            err << form.status() << '\n';
        }
        return exitStatus(ExitCode::SiteRefused);
    }
    return exitStatus(ExitCode::Ran);
}

}  // namespace jilan::cli
