#include "filter_presets.h"

#include <QSettings>

#include <algorithm>

namespace jilan::ui::filterwin {

namespace {

QSettings presetSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("jilan-harvester"),
                     QStringLiteral("filter-presets"));
}

const QString kArray = QStringLiteral("presets");
const QString kName = QStringLiteral("name");
const QString kLine = QStringLiteral("line");
const QString kToggles = QStringLiteral("toggles");

}  // namespace

std::vector<FilterPreset> FilterPresets::all() const {
    QSettings settings = presetSettings();
    std::vector<FilterPreset> presets;
    const int count = settings.beginReadArray(kArray);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        FilterPreset preset{settings.value(kName).toString(), settings.value(kLine).toString(),
                            settings.value(kToggles).toString()};
        if (!preset.name.isEmpty()) {
            presets.push_back(std::move(preset));
        }
    }
    settings.endArray();
    return presets;
}

std::optional<FilterPreset> FilterPresets::find(const QString& name) const {
    for (FilterPreset& preset : all()) {
        if (preset.name == name) {
            return std::move(preset);
        }
    }
    return std::nullopt;
}

void FilterPresets::save(const FilterPreset& preset) {
    std::vector<FilterPreset> presets = all();
    const auto same = std::find_if(presets.begin(), presets.end(),
                                   [&](const FilterPreset& p) { return p.name == preset.name; });
    if (same != presets.end()) {
        *same = preset;
    } else {
        presets.push_back(preset);
    }
    write(presets);
}

void FilterPresets::remove(const QString& name) {
    std::vector<FilterPreset> presets = all();
    std::erase_if(presets, [&](const FilterPreset& p) { return p.name == name; });
    write(presets);
}

void FilterPresets::write(const std::vector<FilterPreset>& presets) {
    QSettings settings = presetSettings();
    settings.remove(kArray);
    settings.beginWriteArray(kArray, static_cast<int>(presets.size()));
    for (int i = 0; i < static_cast<int>(presets.size()); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(kName, presets[static_cast<std::size_t>(i)].name);
        settings.setValue(kLine, presets[static_cast<std::size_t>(i)].line);
        settings.setValue(kToggles, presets[static_cast<std::size_t>(i)].toggles);
    }
    settings.endArray();
    settings.sync();
}

}  // namespace jilan::ui::filterwin
