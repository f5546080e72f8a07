#pragma once
// How a subcommand gives up. UsageError: the command line asks for something impossible; the
// program prints the message on one line, points to --help and exits with ExitCode::Usage.
// CommandFailure: something outside the command line failed (a file, an interface); the
// message is printed as it is and the program exits with the failure's code.

#include "cli/ExitCodes.h"

#include <stdexcept>
#include <string>

namespace tarvio {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

class CommandFailure : public std::runtime_error {
public:
    CommandFailure(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

} // namespace tarvio
