#include "tango/InterfaceChoice.h"

#include "settings/NumberFormat.h"

#include <sstream>

namespace tarvio {

InterfaceChoice parseInterfaceChoice(const std::string& property, const SimulatorConfig& base) {
    InterfaceChoice choice;
    std::istringstream words(property);
    std::string word;
    if (!(words >> word) || word != "simulated") {
        choice.description = property;
        return choice;
    }
    SimulatorConfig config = base;
    config.enabled = true;
    while (words >> word) {
        const auto equals = word.find('=');
        const std::string key = word.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        bool understood = false;
        if (word == "fast") {
            config.fastMode = understood = true;
        } else if (key == "activity") {
            const auto activity = tryParseFloatOrPoint(value);
            understood = activity && *activity > 0.0 && *activity <= SimulatorConfig::MaxActivity;
            if (understood)
                config.activity = *activity;
        } else if (key == "seed") {
            const auto seed = tryParseUInt64(value);
            understood = seed.has_value();
            if (understood)
                config.seed = *seed;
        } else if (equals == std::string::npos) {
            understood = parseSimSource(word, config.source);
        }
        if (!understood) {
            choice.error = "Interface property: \"" + word +
                           "\" is not understood; after \"simulated\" come a source (Am-241, "
                           "Co-57, Cs-137), activity=<decays per second>, seed=<number> or fast.";
            return choice;
        }
    }
    choice.simulated = config;
    return choice;
}

} // namespace tarvio
