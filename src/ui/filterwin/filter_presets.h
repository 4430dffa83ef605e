#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace jilan::ui::filterwin {

// A saved filter: the line and the toggles (as encodeToggles writes them) under a name.
struct FilterPreset {
    QString name;
    QString line;
    QString toggles;
};

// The presets in the user's settings ($XDG_CONFIG_HOME/jilan-harvester/filter-presets.ini),
// in the order they were first saved.
class FilterPresets {
public:
    std::vector<FilterPreset> all() const;
    std::optional<FilterPreset> find(const QString& name) const;
    // Replaces a preset of the same name in place, else adds it at the end.
    void save(const FilterPreset& preset);
    void remove(const QString& name);

private:
    void write(const std::vector<FilterPreset>& presets);
};

}  // namespace jilan::ui::filterwin
