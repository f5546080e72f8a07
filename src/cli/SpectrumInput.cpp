#include "cli/SpectrumInput.h"

#include "cli/CommandErrors.h"
#include "formats/SpectrumFiles.h"

namespace tarvio {

MeasuredSpectrum readSpectrumInput(const std::string& path, std::ostream& err,
                                   std::optional<std::size_t> measurement) {
    ReadResult read =
        measurement ? readSpectrumFile(path, *measurement - 1) : readSpectrumFile(path);
    if (!read)
        throw CommandFailure(ExitCode::InputUnreadable, read.error);
    for (const std::string& note : read.notes)
        err << path << ": " << note << '\n';
    return std::move(*read.spectrum);
}

} // namespace tarvio
