#include "cli/Console.h"

#include "link/Report.h"

namespace tarvio {

namespace {
// Back to the start of the line and erase it: understood by every terminal in use.
constexpr const char* EraseLine = "\r\033[K";
} // namespace

void Console::eraseProgress() {
    if (progressShown_)
        err_ << EraseLine;
    progressShown_ = false;
}

void Console::line(const std::string& text) {
    std::lock_guard<std::mutex> guard(mutex_);
    eraseProgress();
    err_ << text << '\n' << std::flush;
}

void Console::progress(const std::string& text) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!terminal_) {
        err_ << text << '\n' << std::flush;
        return;
    }
    err_ << EraseLine << text << std::flush;
    progressShown_ = true;
}

void Console::endProgress() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (progressShown_)
        err_ << '\n' << std::flush;
    progressShown_ = false;
}

ConsoleErrorBoxes::ConsoleErrorBoxes(Console& console) {
    SetErrorBoxSink([&console](const char*, const char* text) { console.line(text); });
}

ConsoleErrorBoxes::~ConsoleErrorBoxes() {
    SetErrorBoxSink({});
}

} // namespace tarvio
