#include "settings/ProcessingSettings.h"

#include "settings/NumberFormat.h"

namespace tarvio {

namespace {

constexpr const char* Section = "Processing";

} // namespace

ProcessingSettings readProcessingSettings(const IniFile& ini) {
    ProcessingSettings s;
    if (const auto text = ini.value(Section, "Height"))
        parseHeightMethod(*text, s.options.method);
    if (const auto text = ini.value(Section, "Reject"))
        parseRejections(*text, s.options);
    if (const auto text = ini.value(Section, "Tolerance"))
        if (const auto value = tryParseFloat(*text, '.'))
            if (*value >= ProcessingOptions::MinTolerance &&
                *value <= ProcessingOptions::MaxTolerance)
                s.options.tolerance = *value;
    if (const auto text = ini.value(Section, "Template"))
        if (auto shape = PulseTemplate::fromText(*text))
            s.options.shape = std::make_shared<PulseTemplate>(std::move(*shape));
    if (const auto text = ini.value(Section, "LearnPulses"))
        if (const auto value = tryParseInt(*text))
            if (*value >= 1 && *value <= ProcessingSettings::MaxLearnPulses)
                s.learnPulses = *value;
    return s;
}

void writeProcessingSettings(IniFile& ini, const ProcessingSettings& s) {
    const ProcessingOptions& o = s.options;
    const bool learned = o.shape && !o.shape->isBuiltIn();
    const bool defaults = o.isPlain() && o.tolerance == ProcessingOptions::DefaultTolerance &&
                          !learned && s.learnPulses == ProcessingSettings::DefaultLearnPulses;
    ini.removeSection(Section);
    if (defaults)
        return;
    ini.setValue(Section, "Height", heightMethodName(o.method));
    ini.setValue(Section, "Reject", rejectionNames(o));
    ini.setValue(Section, "Tolerance", toleranceText(o.tolerance));
    if (learned)
        ini.setValue(Section, "Template", o.shape->toText());
    ini.setValue(Section, "LearnPulses", std::to_string(s.learnPulses));
}

} // namespace tarvio
