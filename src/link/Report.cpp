#include "link/Report.h"

#include "link/DeviceDescr.h"
#include "link/Interfaces.h"
#include "link/Locks.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tarvio {

namespace {

// Guarded by the link lock.
ReportHook reportHook = nullptr;
std::int32_t reportHookArgument = 0;

ErrorBoxSink& errorBoxSink() {
    static ErrorBoxSink sink;
    return sink;
}

void showErrorBox(const char* caption, const char* text) {
    if (const ErrorBoxSink& sink = errorBoxSink()) {
        sink(caption, text);
    } else {
        std::fprintf(stderr, "%s: %s\n", caption, text);
    }
}

// Appends as much of s as fits into the composition buffer; returns the new length.
std::size_t append(char* text, std::size_t length, const char* s) {
    const std::size_t room = ReportTextSize - 1 - length;
    const std::size_t n = strnlen(s, room);
    std::memcpy(text + length, s, n);
    text[length + n] = 0;
    return length + n;
}

const char* deviceName(const DeviceLink& link) {
    if (!link.device) {
        return "No device";
    }
    return IsRegistered(link.device) ? link.device->description : "Unknown device";
}

} // namespace

bool Report(DeviceLink& link, ErrorCode code, const char* format, ...) {
    QrxCriticalSection lock;

    char text[ReportTextSize];
    std::size_t length = 0;
    if (!format) {
        length = static_cast<std::size_t>(
            std::snprintf(text, sizeof text, "%s", "No error description given"));
    } else {
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        if (n < 0) {
            std::snprintf(text, sizeof text, "%s", format);
        }
        length = std::strlen(text);
    }

    if (link.text[0] != 0) {
        length = append(text, length, " (");
        length = append(text, length, link.text);
        length = append(text, length, ")");
    }

    // Texts that reach the bound end in "..", whether or not anything was cut.
    constexpr std::size_t cut = ReportTextSize - 3;
    if (length >= cut) {
        std::memcpy(text + cut, "..", 3);
    }

    std::memcpy(link.text, text, sizeof text);
    link.level = code;

    if (reportHook) {
        reportHook(link, reportHookArgument);
    } else if (IsError(code)) {
        char caption[ReportTextSize + 32];
        std::snprintf(caption, sizeof caption, "%s - %s (%d)", ErrorCodeName(code),
                      deviceName(link), static_cast<int>(link.depth));
        showErrorBox(caption, link.text);
    }
    return IsError(code);
}

void SetReportHook(ReportHook hook, std::int32_t argument) {
    QrxCriticalSection lock;
    reportHook = hook;
    reportHookArgument = argument;
}

void ShowErrorBox(const char* caption, const char* text) {
    showErrorBox(caption, text);
}

ErrorBoxSink SetErrorBoxSink(ErrorBoxSink sink) {
    QrxCriticalSection lock;
    std::swap(errorBoxSink(), sink);
    return sink;
}

} // namespace tarvio
