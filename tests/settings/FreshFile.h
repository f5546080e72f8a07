#pragma once
// The nine lines a fresh settings.ini holds when the program writes its defaults.

namespace tarvio::test {

inline const char* const FreshFile = "[Calibration]\n"
                                     "Peak1=0\n"
                                     "Peak2=0\n"
                                     "Energy1=0\n"
                                     "Energy2=0\n"
                                     "[Settings]\n"
                                     "Delay=200\n"
                                     "BiasMax=71\n"
                                     "BiasMin=16\n";

} // namespace tarvio::test
