// The one QApplication of the GUI tests: made before the first test, gone after the last.
// Every gui_*.cpp shares it; none creates its own.

#include "QtTestApplication.h"

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new tarvio::test::QtTestApplication);

} // namespace
