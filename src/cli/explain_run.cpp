#include "explain_run.h"

#include <ostream>

#include "cli_run.h"
#include "filter/score.h"

namespace jilan::cli {

int runExplainCommand(const Settings& settings, std::ostream& out) {
    for (const std::string& name : settings.explainNames) {
        const filter::Score score =
            filter::scoreName(filter::computeFeatures(name), settings.scoreWeights);
        out << name << '\t';
        if (score.scored()) {
            out << score.value;
        } else {
            out << '-';
        }
        out << '\t' << score.breakdown << '\n';
    }
    return exitStatus(ExitCode::Ran);
}

}  // namespace jilan::cli
