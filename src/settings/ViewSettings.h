#pragma once
// How the window shows its graphs, in settings.ini's [View] section: ReadableAxes=1 for the
// readable look of the axes (round ticks, labels in margins, titles with units). The section
// is written only once the operator has changed something in it, so a fresh file keeps its
// lines.

#include <optional>

namespace tarvio {

class IniFile;

struct ViewSettings {
    bool readableAxes = false;
    bool operator==(const ViewSettings&) const = default;
};

// The [View] section; a missing or unreadable key keeps its default (0 or 1 only).
ViewSettings readViewSettings(const IniFile& ini);

void writeViewSettings(IniFile& ini, const ViewSettings& view);

} // namespace tarvio
