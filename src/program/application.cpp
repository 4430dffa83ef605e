#include "application.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "harvest_notice.h"

namespace jilan::program {

namespace {

// Added to a harvest's final status when its names could not be remembered.
constexpr std::string_view kHistoryUnavailableNote = "（历史记录不可用）";

}  // namespace

template <typename... Args, typename F>
auto Application::guarded(F f) {
    return [this, f](Args... args) {
        if (!form_.ended()) {
            f(std::forward<Args>(args)...);
        }
    };
}

Application::Application(app::Form1& form, app::Platform& platform, net::TransferPool& pool,
                         AppOptions options)
    : form_(form),
      platform_(platform),
      pump_(form, platform),
      fetcher_(pool, pump_),
      shell_(form, platform, options.urls),
      history_(options.historyPath),
      harvester_(form, fetcher_, platform, options.urls.market, options.harvest),
      queries_(form, fetcher_, platform, options.urls),
      listActions_(form, platform, options.urls.market) {
    form.Load.attach(guarded([this] { shell_.Form_Load(); }));
    form.QueryUnload.attach(guarded<int&, int>(
        [this](int& cancel, int mode) { shell_.Form_QueryUnload(cancel, mode); }));
    ended_ = form.endedSignal.connect([this] { platform_.endProgram(); });

    // Every harvest goes into the history; the window only queues, the recorder writes.
    harvester_.setObserver(harvest::HarvestObserver{
        .runStarted =
            [this](int pageLimit) {
                runEntries_ = 0;
                history_.runStarted(pageLimit);
            },
        .pageAppended =
            [this](const std::vector<std::string>& domains) {
                runEntries_ += static_cast<int>(domains.size());
                history_.pageAppended(domains);
            },
        .runEnded =
            [this](int requested, int failed) {
                history_.runEnded(requested, failed);
                // A user who went elsewhere while the pages came in learns it is over; the
                // window itself shows nothing new. No session bus: nothing, quietly.
                if (!form_.ended() && !platform_.windowInFront()) {
                    const HarvestNotice notice = harvestNotice(runEntries_, requested, failed);
                    platform_.notifyDesktop(notice.title, notice.body);
                }
                // Only after the harvest's own final text: a command run while a stopped
                // batch drained keeps its status as it wrote it.
                if (history_.enabled() && history_.unavailable() &&
                    form_.statusSerial() == harvester_.finalStatusSerial()) {
                    form_.setStatus(form_.status() + std::string(kHistoryUnavailableNote));
                }
            },
    });

    form.Command1.Click.attach(guarded([this] { harvester_.Command1_Click(); }));
    form.Command2.Click.attach(guarded([this] { shell_.Command2_Click(); }));
    form.Command3.Click.attach(guarded([this] { shell_.Command3_Click(); }));
    form.Command4.Click.attach(guarded([this] { shell_.Command4_Click(); }));
    form.Command5.Click.attach(guarded([this] { listActions_.Command5_Click(); }));
    form.Text1.Change.attach(guarded([this] { harvester_.Text1_Change(); }));
    form.HScroll1.Change.attach(guarded([this] { harvester_.HScroll1_Change(); }));
    form.Timer1.Timer.attach(guarded([this] { harvester_.Timer1_Timer(); }));
    form.List1.DblClick.attach(guarded([this] { queries_.List1_DblClick(); }));
    form.List1.MouseDown.attach(
        guarded<int, int, int, int>([this](int button, int shift, int x, int y) {
            listActions_.List1_MouseDown(button, shift, x, y);
        }));
    form.cx.Click.attach(guarded([this] { queries_.cx_Click(); }));
    form.fz.Click.attach(guarded([this] { listActions_.fz_Click(); }));
    form.ydym.Click.attach(guarded([this] { listActions_.ydym_Click(); }));
}

}  // namespace jilan::program
