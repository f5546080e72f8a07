#include "records/ProgramVersion.h"

namespace tarvio {

std::string_view programVersion() {
    return TARVIO_VERSION;
}

} // namespace tarvio
