#pragma once
// stderr of a command-line program: whole lines from any thread (the controller logs from its
// monitoring thread), and on a terminal one progress line that rewrites itself in place. A
// line written while the progress line shows replaces it; the next progress update draws it
// again below.

#include <mutex>
#include <ostream>
#include <string>

namespace tarvio {

class Console {
public:
    // terminal: whether `err` is a terminal, which can take the carriage return and the
    // erase-line sequence the progress line needs.
    Console(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}

    bool terminal() const { return terminal_; }

    // One line of text, newline added. Any thread.
    void line(const std::string& text);
    // Replaces the progress line (terminal only; elsewhere the text goes out as a line).
    void progress(const std::string& text);
    // Leaves the last progress line standing, so that what follows starts below it.
    void endProgress();

private:
    void eraseProgress();

    std::mutex mutex_;
    std::ostream& err_;
    bool terminal_;
    bool progressShown_ = false;
};

// Link reports made while no report hook is installed go to the console for its lifetime,
// not to stderr past the progress line.
class ConsoleErrorBoxes {
public:
    explicit ConsoleErrorBoxes(Console& console);
    ~ConsoleErrorBoxes();
    ConsoleErrorBoxes(const ConsoleErrorBoxes&) = delete;
    ConsoleErrorBoxes& operator=(const ConsoleErrorBoxes&) = delete;
};

} // namespace tarvio
