// The Interface property: a real interface's description, or the simulated one with words.

#include "tango/InterfaceChoice.h"

#include <gtest/gtest.h>

using namespace tarvio;

TEST(InterfaceChoice, words_changeTheSettingsSimulator_orNameARealInterface) {
    SimulatorConfig base;
    base.enabled = false;
    base.activity = 123;

    const InterfaceChoice plain = parseInterfaceChoice("simulated", base);
    ASSERT_TRUE(plain.simulated);
    EXPECT_TRUE(plain.simulated->enabled) << "named, it is used whatever the settings say";
    EXPECT_EQ(plain.simulated->activity, 123);
    EXPECT_FALSE(plain.simulated->fastMode);

    const InterfaceChoice words =
        parseInterfaceChoice("simulated  Cs-137 activity=5000 seed=7 fast", base);
    ASSERT_TRUE(words.simulated) << words.error;
    EXPECT_EQ(words.simulated->source, SimSource::Cs137);
    EXPECT_EQ(words.simulated->activity, 5000);
    EXPECT_EQ(words.simulated->seed, 7u);
    EXPECT_TRUE(words.simulated->fastMode);

    const InterfaceChoice real = parseInterfaceChoice("Medipix2 ver 2.0: A1B2", base);
    EXPECT_FALSE(real.simulated);
    EXPECT_EQ(real.description, "Medipix2 ver 2.0: A1B2");
    EXPECT_TRUE(parseInterfaceChoice("", base).description.empty());

    for (const char* bad : {"simulated Pu-239", "simulated activity=-5", "simulated seed=x",
                            "simulated colour=red"}) {
        const InterfaceChoice refused = parseInterfaceChoice(bad, base);
        EXPECT_FALSE(refused.simulated) << bad;
        EXPECT_NE(refused.error.find("is not understood"), std::string::npos) << bad;
    }
}
