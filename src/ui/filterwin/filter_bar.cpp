#include "filter_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <variant>

#include "ui/model_conversions.h"

namespace jilan::ui::filterwin {

namespace {

constexpr int kDebounceMs = 150;
constexpr std::size_t kSuffixBoxes = 8;
constexpr int kMaxLength = 63;

struct FlagBox {
    const char* key;
    const char* caption;
    bool QuickToggles::*member;
};

constexpr FlagBox kFlagBoxes[] = {
    {"digits", "纯数字", &QuickToggles::digits},      {"letters", "纯字母", &QuickToggles::letters},
    {"mixed", "杂米", &QuickToggles::mixed},          {"initials", "声母", &QuickToggles::initials},
    {"one", "单拼", &QuickToggles::oneSyllable},      {"two", "双拼", &QuickToggles::twoSyllables},
    {"three", "三拼", &QuickToggles::threeSyllables}, {"new", "只看新域名", &QuickToggles::newOnly},
    {"high", "高分 (≥70)", &QuickToggles::highScore},
};

QSpinBox* lengthBox(OwnedChildren& own, QWidget* parent, const char* name) {
    auto* box = own.make<QSpinBox>(parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setRange(0, kMaxLength);
    box->setSpecialValueText(QStringLiteral("不限"));
    return box;
}

}  // namespace

FilterBar::FilterBar(QWidget* parent) : QWidget(parent) {
    auto* rows = own_.make<QVBoxLayout>(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(4);

    QHBoxLayout* lineRow = rowIn(rows);
    lineRow->addWidget(own_.make<QLabel>(QStringLiteral("筛选："), this));
    edit_ = own_.make<QLineEdit>(this);
    edit_->setObjectName(QStringLiteral("filterEdit"));
    edit_->setPlaceholderText(QStringLiteral("例如 len<=5 tld=com,cn !has=4 纯数字"));
    edit_->setClearButtonEnabled(true);
    lineRow->addWidget(edit_, 1);

    errorLabel_ = own_.make<QLabel>(this);
    errorLabel_->setObjectName(QStringLiteral("filterError"));
    errorLabel_->setTextFormat(Qt::PlainText);
    errorLabel_->setStyleSheet(QStringLiteral("color: #c00000;"));
    errorLabel_->setMinimumHeight(errorLabel_->fontMetrics().height());
    // However long the mistake, the line never widens the window: it is cut to fit.
    errorLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    rows->addWidget(errorLabel_);

    QHBoxLayout* toggleRow = rowIn(rows);
    for (const FlagBox& flag : kFlagBoxes) {
        auto* box = own_.make<QCheckBox>(QString::fromUtf8(flag.caption), this);
        box->setObjectName(QStringLiteral("toggle_") + QString::fromUtf8(flag.key));
        connect(box, &QCheckBox::toggled, this, &FilterBar::changed);
        toggleRow->addWidget(box);
        flags_[flag.key] = box;
    }
    toggleRow->addSpacing(12);
    toggleRow->addWidget(own_.make<QLabel>(QStringLiteral("长度"), this));
    minLength_ = lengthBox(own_, this, "minLength");
    toggleRow->addWidget(minLength_);
    toggleRow->addWidget(own_.make<QLabel>(QStringLiteral("至"), this));
    maxLength_ = lengthBox(own_, this, "maxLength");
    toggleRow->addWidget(maxLength_);
    for (QSpinBox* box : {minLength_, maxLength_}) {
        connect(box, &QSpinBox::valueChanged, this, &FilterBar::changed);
    }
    toggleRow->addStretch(1);

    QHBoxLayout* suffixLine = rowIn(rows);
    suffixLine->addWidget(own_.make<QLabel>(QStringLiteral("后缀："), this));
    suffixRow_ = own_.make<QWidget>(this);
    auto* suffixLayout = own_.make<QHBoxLayout>(suffixRow_);
    suffixLayout->setContentsMargins(0, 0, 0, 0);
    suffixLine->addWidget(suffixRow_);
    more_ = own_.make<QToolButton>(this);
    more_->setObjectName(QStringLiteral("moreSuffixes"));
    more_->setText(QStringLiteral("更多"));
    more_->setPopupMode(QToolButton::InstantPopup);
    moreMenu_ = own_.make<QMenu>(more_);
    more_->setMenu(moreMenu_);
    more_->setEnabled(false);
    suffixLine->addWidget(more_);
    suffixLine->addStretch(1);
    suffixLine->addWidget(buildPresets());

    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &FilterBar::applyNow);
    connect(edit_, &QLineEdit::textChanged, this, &FilterBar::changed);
}

QHBoxLayout* FilterBar::rowIn(QVBoxLayout* rows) {
    auto* row = own_.make<QWidget>(this);
    auto* layout = own_.make<QHBoxLayout>(row);
    layout->setContentsMargins(0, 0, 0, 0);
    rows->addWidget(row);
    return layout;
}

QWidget* FilterBar::buildPresets() {
    auto* row = own_.make<QWidget>(this);
    row->setObjectName(QStringLiteral("presetRow"));
    auto* layout = own_.make<QHBoxLayout>(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(own_.make<QLabel>(QStringLiteral("预设："), row));
    presets_ = own_.make<QComboBox>(row);
    presets_->setObjectName(QStringLiteral("presetBox"));
    presets_->setEditable(true);
    presets_->setInsertPolicy(QComboBox::NoInsert);
    presets_->setMinimumContentsLength(10);
    presets_->lineEdit()->setPlaceholderText(QStringLiteral("预设名称"));
    layout->addWidget(presets_);
    auto* save = own_.make<QPushButton>(QStringLiteral("保存预设"), row);
    save->setObjectName(QStringLiteral("savePreset"));
    save->setAutoDefault(false);
    auto* remove = own_.make<QPushButton>(QStringLiteral("删除预设"), row);
    remove->setObjectName(QStringLiteral("deletePreset"));
    remove->setAutoDefault(false);
    layout->addWidget(save);
    layout->addWidget(remove);
    savePreset_ = save;
    deletePreset_ = remove;
    connect(save, &QPushButton::clicked, this, &FilterBar::savePreset);
    connect(remove, &QPushButton::clicked, this, &FilterBar::deletePreset);
    connect(presets_, &QComboBox::activated, this,
            [this](int index) { choosePreset(presets_->itemText(index)); });
    // An editable box also "activates" a typed name that matches a preset when it loses focus,
    // which would load that preset over the filter being saved under its name: a preset is
    // loaded only when chosen from the list or with Enter.
    QObject::disconnect(presets_->lineEdit(), &QLineEdit::editingFinished, presets_, nullptr);
    refreshPresets();
    return row;
}

void FilterBar::refreshPresets() {
    const QSignalBlocker quiet(presets_);
    const QString typed = presets_->currentText();
    presets_->clear();
    for (const FilterPreset& preset : store_.all()) {
        presets_->addItem(preset.name);
    }
    presets_->setCurrentIndex(presets_->findText(typed));
    presets_->setEditText(typed);
}

void FilterBar::choosePreset(const QString& name) {
    const std::optional<FilterPreset> preset = store_.find(name);
    if (!preset) {
        return;
    }
    quiet_ = true;
    edit_->setText(preset->line);
    setToggles(decodeToggles(fromQt(preset->toggles)));
    quiet_ = false;
    applyNow();
}

void FilterBar::savePreset() {
    const QString name = presets_->currentText().trimmed();
    if (name.isEmpty()) {
        return;
    }
    const FilterPreset preset{name, edit_->text(), toQt(encodeToggles(toggles()))};
    if (const std::optional<FilterPreset> old = store_.find(name);
        old && (old->line != preset.line || old->toggles != preset.toggles) && askOverwrite_ &&
        !askOverwrite_(name)) {
        return;
    }
    store_.save(preset);
    presets_->setEditText(name);
    refreshPresets();
}

void FilterBar::deletePreset() {
    store_.remove(presets_->currentText().trimmed());
    presets_->setEditText(QString());
    refreshPresets();
}

QuickToggles FilterBar::toggles() const {
    QuickToggles t;
    for (const FlagBox& flag : kFlagBoxes) {
        t.*flag.member = flags_.at(flag.key)->isChecked();
    }
    t.minLength = minLength_->value();
    t.maxLength = maxLength_->value();
    t.suffixes = checkedSuffixes_;
    return t;
}

void FilterBar::setToggles(const QuickToggles& t) {
    const bool wasQuiet = quiet_;
    quiet_ = true;
    for (const FlagBox& flag : kFlagBoxes) {
        flags_.at(flag.key)->setChecked(t.*flag.member);
    }
    minLength_->setValue(t.minLength);
    maxLength_->setValue(t.maxLength);
    checkedSuffixes_ = t.suffixes;
    for (QCheckBox* box : suffixBoxes_) {
        const std::string suffix = fromQt(box->text());
        box->setChecked(std::find(checkedSuffixes_.begin(), checkedSuffixes_.end(), suffix) !=
                        checkedSuffixes_.end());
    }
    for (QAction* action : moreMenu_->actions()) {
        const std::string suffix = fromQt(action->text());
        action->setChecked(std::find(checkedSuffixes_.begin(), checkedSuffixes_.end(), suffix) !=
                           checkedSuffixes_.end());
    }
    quiet_ = wasQuiet;
    changed();
}

void FilterBar::setSuffixChecked(const std::string& suffix, bool checked) {
    std::erase(checkedSuffixes_, suffix);
    if (checked) {
        checkedSuffixes_.push_back(suffix);
    }
    changed();
}

void FilterBar::setSuffixes(const std::vector<std::pair<std::string, int>>& counts) {
    std::vector<std::string> suffixes;
    for (const auto& [suffix, count] : counts) {
        if (!suffix.empty()) {
            suffixes.push_back(suffix);
        }
    }
    if (suffixes == suffixesShown_) {
        // Same boxes in the same order (the usual case while a harvest adds rows): only
        // their counts change.
        for (std::size_t i = 0; i < suffixBoxes_.size(); ++i) {
            const auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& entry) {
                return entry.first == suffixes[i];
            });
            suffixBoxes_[i]->setToolTip(QStringLiteral("%1 个").arg(it->second));
        }
        return;
    }
    suffixesShown_ = std::move(suffixes);
    for (QCheckBox* box : suffixBoxes_) {
        own_.destroy(box);
    }
    suffixBoxes_.clear();
    moreMenu_->clear();
    const bool wasQuiet = quiet_;
    quiet_ = true;
    std::size_t placed = 0;
    for (const auto& [suffix, count] : counts) {
        if (suffix.empty()) {
            continue;
        }
        const bool checked = std::find(checkedSuffixes_.begin(), checkedSuffixes_.end(), suffix) !=
                             checkedSuffixes_.end();
        const QString caption = toQt(suffix);
        if (placed < kSuffixBoxes) {
            auto* box = own_.make<QCheckBox>(caption, suffixRow_);
            box->setObjectName(QStringLiteral("suffix_") + caption);
            box->setToolTip(QStringLiteral("%1 个").arg(count));
            box->setChecked(checked);
            connect(box, &QCheckBox::toggled, this,
                    [this, suffix](bool on) { setSuffixChecked(suffix, on); });
            suffixRow_->layout()->addWidget(box);
            suffixBoxes_.push_back(box);
        } else {
            QAction* action = moreMenu_->addAction(caption);
            action->setCheckable(true);
            action->setChecked(checked);
            connect(action, &QAction::toggled, this,
                    [this, suffix](bool on) { setSuffixChecked(suffix, on); });
        }
        ++placed;
    }
    more_->setEnabled(!moreMenu_->isEmpty());
    quiet_ = wasQuiet;
    Q_EMIT controlsChanged();
}

std::vector<QWidget*> FilterBar::tabOrder() const {
    std::vector<QWidget*> order{edit_};
    for (const FlagBox& flag : kFlagBoxes) {
        order.push_back(flags_.at(flag.key));
    }
    order.insert(order.end(), {minLength_, maxLength_});
    order.insert(order.end(), suffixBoxes_.begin(), suffixBoxes_.end());
    order.insert(order.end(), {more_, presets_, savePreset_, deletePreset_});
    return order;
}

QString FilterBar::error() const {
    return errorText_;
}

void FilterBar::showError(const QString& text) {
    errorText_ = text;
    errorLabel_->setToolTip(text);
    const int room = errorLabel_->contentsRect().width();
    // Before the first layout the label has no real width: it is cut once it has one.
    errorLabel_->setText(isVisible() && room > 0
                             ? errorLabel_->fontMetrics().elidedText(text, Qt::ElideRight, room)
                             : text);
}

void FilterBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showError(errorText_);
}

void FilterBar::changed() {
    if (!quiet_) {
        debounce_.start();
    }
}

void FilterBar::applyNow() {
    debounce_.stop();
    auto line = filter::Filter::compile(fromQt(edit_->text()), scoreWeights_);
    if (const auto* failure = std::get_if<filter::FilterError>(&line)) {
        showError(toQt(failure->message));
        return;
    }
    showError(QString());
    RowFilter compiled;
    compiled.line = std::get<filter::Filter>(std::move(line));
    auto toggled = filter::Filter::compile(toggleExpression(toggles()), scoreWeights_);
    if (auto* ok = std::get_if<filter::Filter>(&toggled)) {
        compiled.toggles = std::move(*ok);
    }
    Q_EMIT filterChanged(compiled);
}

}  // namespace jilan::ui::filterwin
