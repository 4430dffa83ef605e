#include "headless.h"

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <utility>

#include "application.h"
#include "listactions/list_actions.h"

namespace jilan::program {

namespace {

// No desktop at all: nothing to pump, nothing to ask, nothing to launch.
class HeadlessPlatform : public app::Platform {
public:
    void processEvents() override {}
    app::MessageAnswer messageBox(const std::string&, const std::string&, app::MessageButtons,
                                  app::MessageIcon) override {
        return app::MessageAnswer::Ok;
    }
    bool clearClipboard() override { return false; }
    bool setClipboardText(const std::string&) override { return false; }
    bool openUrl(const std::string&) override { return false; }
    std::optional<std::string> saveFileDialog(const std::string&, const std::string&,
                                              const std::string&) override {
        return std::nullopt;
    }
    void popupMenu(app::Menu&) override {}
    void endProgram() override {}
    std::string programFolder() override { return {}; }
    void applySkin(const std::string&) override {}
    void blockingStarted() override {}
    void blockingEnded() override {}

    // The ticker runs only when the window-less loop calls tick().
    void startTicker(std::function<void()> tick, int intervalMs) override {
        ticker_ = std::move(tick);
        tickerIntervalMs_ = intervalMs;
    }
    void stopTicker() override { ticker_ = nullptr; }
    bool tickerRunning() const { return static_cast<bool>(ticker_); }
    int tickerIntervalMs() const { return tickerIntervalMs_; }
    void tick() {
        if (ticker_) {
            const std::function<void()> call = ticker_;  // the call may stop the ticker
            call();
        }
    }

private:
    std::function<void()> ticker_;
    int tickerIntervalMs_ = 0;
};

// Mirrors the status line to a stream, one line per change.
void echoStatus(app::Form1& form, std::ostream& err) {
    form.S1.changed.connect([&form, &err] { err << form.status() << '\n' << std::flush; });
}

// The whole program, wired as in the window, on the window-less platform.
struct HeadlessProgram {
    HeadlessProgram(const HeadlessOptions& options, std::ostream& err)
        : pool(options.limits),
          application(form, platform, pool, AppOptions{options.urls, options.harvest}) {
        echoStatus(form, err);
    }

    app::Form1 form;
    HeadlessPlatform platform;
    net::TransferPool pool;
    Application application;
};

std::optional<std::string> outputProblem(const std::string& output) {
    if (output.empty()) {
        return "--output needs a file name";
    }
    const std::filesystem::path path(output);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return output + " is a folder";
    }
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        return "folder " + folder.string() + " does not exist";
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        return "folder " + folder.string() + " is not writable";
    }
    return std::nullopt;
}

}  // namespace

int runHeadlessHarvest(const std::string& pages, const std::string& output,
                       const HeadlessOptions& options, std::ostream& err) {
    if (!harvest::parsePageLimit(pages)) {
        err << "jilan-harvester: --harvest needs a page number, not \"" << pages << "\"\n";
        return 2;
    }
    if (auto problem = outputProblem(output)) {
        err << "jilan-harvester: cannot write the list: " << *problem << '\n';
        return 1;
    }

    HeadlessProgram program(options, err);
    app::Form1& form = program.form;
    form.Text1.setText(pages);
    form.Command1.click();
    // The batch timer's clock: wait briefly on the network, then tick.
    while (form.Timer1.enabled()) {
        program.pool.poll(form.Timer1.interval());
        form.Timer1.tick();
    }
    // A stop returns at once; the pages it left on the wire still come in.
    while (program.platform.tickerRunning() && !form.ended()) {
        program.pool.poll(program.platform.tickerIntervalMs());
        program.platform.tick();
    }

    const listactions::WriteOutcome written = listactions::writeList(output, form.List1.items());
    if (!written.ok) {
        err << "jilan-harvester: cannot write " << written.error << '\n';
        return 1;
    }
    err << form.List1.listCount() << " domains written to " << output << '\n';
    return 0;
}

int runHeadlessQuery(const std::string& domain, const HeadlessOptions& options, std::ostream& out,
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
    return 0;
}

}  // namespace jilan::program
