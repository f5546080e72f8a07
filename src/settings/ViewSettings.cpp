#include "settings/ViewSettings.h"

#include "settings/IniFile.h"

namespace tarvio {

namespace {

constexpr const char* ViewSection = "View";

} // namespace

ViewSettings readViewSettings(const IniFile& ini) {
    ViewSettings view;
    if (const auto readable = ini.value(ViewSection, "ReadableAxes")) {
        if (*readable == "1")
            view.readableAxes = true;
        else if (*readable == "0")
            view.readableAxes = false;
    }
    return view;
}

void writeViewSettings(IniFile& ini, const ViewSettings& view) {
    ini.setValue(ViewSection, "ReadableAxes", view.readableAxes ? "1" : "0");
}

} // namespace tarvio
