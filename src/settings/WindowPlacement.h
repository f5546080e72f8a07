#pragma once
// Where the main window was when it closed, in settings.ini's [Window] section: the position
// and size of its inside (without the frame) in screen pixels, and whether it was maximised;
// a maximised window keeps the geometry it returns to.

#include <cstdint>
#include <optional>

namespace tarvio {

class IniFile;

struct WindowPlacement {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool maximised = false;
    bool operator==(const WindowPlacement&) const = default;
};

// The [Window] section, or nothing when it is missing or any of Left, Top, Width and Height
// is missing or absurd (a size below 1 or beyond 100000 pixels, a position beyond 100000 on
// either side): the window then opens as by default. Maximised is 0 or 1, 0 when missing.
std::optional<WindowPlacement> readWindowPlacement(const IniFile& ini);

void writeWindowPlacement(IniFile& ini, const WindowPlacement& placement);

} // namespace tarvio
