#include "formats/SpectrumFiles.h"

#include "formats/CsvFormat.h"
#include "formats/FormatText.h"
#include "formats/N42Format.h"
#include "formats/SpeFormat.h"
#include "formats/TabTextFormat.h"
#include "records/AtomicFile.h"
#include "records/TextFile.h"

#include <new>

namespace tarvio {

namespace {

std::string_view extensionOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return path.substr(dot + 1);
}

std::string_view withoutBom(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return trim(text.substr(0, 256));
}

} // namespace

std::string_view formatName(FileFormat format) {
    switch (format) {
    case FileFormat::N42:
        return "N42";
    case FileFormat::Spe:
        return "IAEA SPE";
    case FileFormat::Csv:
        return "CSV";
    case FileFormat::TabText:
        break;
    }
    return "Tab-separated text";
}

std::string_view formatExtension(FileFormat format) {
    switch (format) {
    case FileFormat::N42:
        return "n42";
    case FileFormat::Spe:
        return "spe";
    case FileFormat::Csv:
        return "csv";
    case FileFormat::TabText:
        break;
    }
    return "txt";
}

std::optional<FileFormat> formatForPath(std::string_view path) {
    const std::string_view extension = extensionOf(path);
    if (equalsNoCase(extension, "n42") || equalsNoCase(extension, "xml"))
        return FileFormat::N42;
    if (equalsNoCase(extension, "spe"))
        return FileFormat::Spe;
    if (equalsNoCase(extension, "csv"))
        return FileFormat::Csv;
    if (equalsNoCase(extension, "txt") || equalsNoCase(extension, "tsv") ||
        equalsNoCase(extension, "dat"))
        return FileFormat::TabText;
    return std::nullopt;
}

std::optional<FileFormat> formatForWriting(std::string_view path) {
    const std::string_view extension = extensionOf(path);
    for (const FileFormat format : AllFileFormats) {
        if (equalsNoCase(extension, formatExtension(format)))
            return format;
    }
    return std::nullopt;
}

std::string writableExtensions() {
    std::string list;
    for (std::size_t i = 0; i < std::size(AllFileFormats); ++i) {
        if (i > 0)
            list += i + 1 == std::size(AllFileFormats) ? " or " : ", ";
        list += '.';
        list += formatExtension(AllFileFormats[i]);
    }
    return list;
}

std::string spectrumFileText(const MeasuredSpectrum& spectrum, FileFormat format, bool energies) {
    switch (format) {
    case FileFormat::N42:
        return writeN42(spectrum);
    case FileFormat::Spe:
        return writeSpe(spectrum);
    case FileFormat::Csv:
        return writeCsv(spectrum);
    case FileFormat::TabText:
        break;
    }
    return writeTabText(spectrum, energies);
}

SaveResult saveSpectrumFile(const std::string& path, const MeasuredSpectrum& spectrum,
                            FileFormat format, bool energies) {
    std::string text;
    try {
        text = spectrumFileText(spectrum, format, energies);
    } catch (const WriteError& error) {
        return SaveResult::failure("Unable to write to " + path + ": " + error.what());
    }
    return writeFileAtomically(path, text);
}

FileFormat detectFormat(std::string_view path, std::string_view text) {
    const std::string_view start = withoutBom(text);
    if (!start.empty() && start.front() == '<')
        return FileFormat::N42;
    if (!start.empty() && start.front() == '$')
        return FileFormat::Spe;
    if (const auto byName = formatForPath(path))
        return *byName;
    const std::string_view firstLine = start.substr(0, start.find_first_of("\r\n"));
    if (start.empty() || start.front() == '#' ||
        firstLine.find_first_of(",;") != std::string_view::npos)
        return FileFormat::Csv;
    return FileFormat::TabText;
}

ReadResult readSpectrumText(std::string_view text, FileFormat format, const std::string& name) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3); // the UTF-8 mark some editors put first
    ReadResult result;
    result.format = format;
    try {
        switch (format) {
        case FileFormat::N42:
            result.spectrum = readN42(text, result.notes);
            break;
        case FileFormat::Spe:
            result.spectrum = readSpe(text, result.notes);
            break;
        case FileFormat::Csv:
            result.spectrum = readCsv(text, result.notes);
            break;
        case FileFormat::TabText:
            result.spectrum = readTabText(text, result.notes);
            break;
        }
    } catch (const ParseError& error) {
        result.spectrum.reset();
        result.error = name + ": " + error.what();
    } catch (const std::bad_alloc&) {
        result.spectrum.reset();
        result.error = name + ": too large to read";
    }
    return result;
}

namespace {

ReadResult unreadableFile(const std::string& path, const TextFileContents& file) {
    ReadResult result;
    result.format = formatForPath(path).value_or(FileFormat::TabText);
    result.error =
        path + ": " + (file.status == ReadStatus::Missing ? "does not exist" : file.problem);
    return result;
}

} // namespace

ReadResult readSpectrumFile(const std::string& path) {
    const TextFileContents file = readTextFile(path, MaxSpectrumFileBytes);
    if (file.status != ReadStatus::Ok)
        return unreadableFile(path, file);
    return readSpectrumText(file.text, detectFormat(path, file.text), path);
}

ReadResult readSpectrumFile(const std::string& path, std::size_t measurement) {
    const TextFileContents file = readTextFile(path, MaxSpectrumFileBytes);
    if (file.status != ReadStatus::Ok)
        return unreadableFile(path, file);
    ReadResult result;
    result.format = detectFormat(path, file.text);
    if (result.format != FileFormat::N42) {
        result.error = path + ": only an N42 file holds several measurements";
        return result;
    }
    try {
        std::vector<MeasuredSpectrum> all = readN42Measurements(file.text, result.notes);
        if (measurement < all.size())
            result.spectrum = std::move(all[measurement]);
        else
            result.error = path + ": holds " + std::to_string(all.size()) +
                           " measurement(s), not a measurement " + std::to_string(measurement + 1);
    } catch (const ParseError& error) {
        result.error = path + ": " + error.what();
    } catch (const std::bad_alloc&) {
        result.error = path + ": too large to read";
    }
    return result;
}

} // namespace tarvio
