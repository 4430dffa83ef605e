#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "domain_table_model.h"
#include "filter_presets.h"
#include "owned_children.h"
#include "quick_toggles.h"

class QCheckBox;
class QHBoxLayout;
class QVBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class QToolButton;

namespace jilan::ui::filterwin {

// The filter line with its error line, the quick toggles, the length range, the suffix boxes
// and the presets. Every change is applied once typing pauses (about 150 ms); a malformed
// line shows its error and applies nothing, so the table keeps its rows.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    // The bar's controls in the order Tab visits them: the line, the toggles, the length, the
    // suffixes, the presets.
    std::vector<QWidget*> tabOrder() const;
    QuickToggles toggles() const;
    void setToggles(const QuickToggles& toggles);
    // The suffix boxes: the eight most frequent get a box, the rest go under "更多".
    void setSuffixes(const std::vector<std::pair<std::string, int>>& counts);
    // The error of the line last compiled; empty when it compiled.
    QString error() const;
    // Compiles and applies now, without waiting for the pause.
    void applyNow();
    bool waiting() const { return debounce_.isActive(); }
    // Asked before a preset of the same name is replaced; true to replace it.
    void setOverwriteQuestion(std::function<bool(const QString& name)> ask) {
        askOverwrite_ = std::move(ask);
    }
    // The weights of the score terms (score>=70, 高分), from score.toml.
    void setScoreWeights(filter::ScoreWeights weights) { scoreWeights_ = std::move(weights); }

Q_SIGNALS:
    void filterChanged(const jilan::ui::filterwin::RowFilter& filter);
    // The suffix boxes were rebuilt: the tab order needs them in their place.
    void controlsChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Shows the whole error as the tooltip and as much of it as the line holds.
    void showError(const QString& text);
    void changed();
    QHBoxLayout* rowIn(QVBoxLayout* rows);
    QWidget* buildPresets();
    void refreshPresets();
    void choosePreset(const QString& name);
    void savePreset();
    void deletePreset();
    void setSuffixChecked(const std::string& suffix, bool checked);

    filter::ScoreWeights scoreWeights_ = filter::defaultScoreWeights();
    QLineEdit* edit_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    QString errorText_;
    std::map<std::string, QCheckBox*> flags_;
    QSpinBox* minLength_ = nullptr;
    QSpinBox* maxLength_ = nullptr;
    QWidget* suffixRow_ = nullptr;
    std::vector<QCheckBox*> suffixBoxes_;
    // The suffixes of the boxes and the 更多 list, in order: unchanged means nothing to rebuild.
    std::vector<std::string> suffixesShown_;
    QToolButton* more_ = nullptr;
    QMenu* moreMenu_ = nullptr;
    std::vector<std::string> checkedSuffixes_;
    QComboBox* presets_ = nullptr;
    QWidget* savePreset_ = nullptr;
    QWidget* deletePreset_ = nullptr;
    FilterPresets store_;
    QTimer debounce_;
    bool quiet_ = false;
    std::function<bool(const QString&)> askOverwrite_;
    // Last: its widgets go before the members above and before the bar itself.
    OwnedChildren own_;
};

}  // namespace jilan::ui::filterwin
