#pragma once
// Spectrum files of every format by name: the format from the extension (or, for reading,
// from what the file begins with), written atomically, read with a message naming the file
// and the line or element when it cannot be.

#include "formats/MeasuredSpectrum.h"
#include "records/SaveResult.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

enum class FileFormat { N42, Spe, Csv, TabText };

inline constexpr FileFormat AllFileFormats[] = {FileFormat::N42, FileFormat::Spe, FileFormat::Csv,
                                                FileFormat::TabText};

// "N42", "IAEA SPE", "CSV", "Tab-separated text".
std::string_view formatName(FileFormat format);
// The usual extension without its point: "n42", "spe", "csv", "txt".
std::string_view formatExtension(FileFormat format);
// By the path's extension, whatever its case; nullopt for one no format uses.
std::optional<FileFormat> formatForPath(std::string_view path);
// For a file to be written: only the usual extensions, whatever their case. A name such as
// "a.tsv" would otherwise get a file that is not what its name promises.
std::optional<FileFormat> formatForWriting(std::string_view path);
// ".n42, .spe, .csv or .txt", for messages that refuse a name.
std::string writableExtensions();

// Throws WriteError when a field cannot be written (see saveSpectrumFile). energies: the keV
// form of the tab-separated text.
std::string spectrumFileText(const MeasuredSpectrum& spectrum, FileFormat format,
                             bool energies = false);
// Through a temporary file renamed over the target; the error names the file and the reason,
// a field that cannot be written among them, and then nothing is written.
SaveResult saveSpectrumFile(const std::string& path, const MeasuredSpectrum& spectrum,
                            FileFormat format, bool energies = false);

struct ReadResult {
    std::optional<MeasuredSpectrum> spectrum;
    FileFormat format = FileFormat::TabText;
    std::string error;              // "<file>: line 12: ..." when there is no spectrum
    std::vector<std::string> notes; // what was read with a caveat, one sentence each

    explicit operator bool() const { return spectrum.has_value(); }
};

// A file that large holds no spectrum; reading stops before it takes the memory.
inline constexpr std::size_t MaxSpectrumFileBytes = std::size_t{256} << 20;

// An XML or SPE text is known by its first character whatever the name says; otherwise the
// extension decides, and without a known one, whether the text looks like a table.
FileFormat detectFormat(std::string_view path, std::string_view text);

// name stands in front of every error ("<name>: line 3: ...").
ReadResult readSpectrumText(std::string_view text, FileFormat format, const std::string& name);
ReadResult readSpectrumFile(const std::string& path);
// One measurement (from 0) of an N42 file that holds several (a time-sliced replay); an error
// for another format or a measurement the file does not hold.
ReadResult readSpectrumFile(const std::string& path, std::size_t measurement);

} // namespace tarvio
