#pragma once
// A command line that asks for something impossible: the program prints the message on one
// line, points to --help and exits with ExitCode::Usage.

#include <stdexcept>
#include <string>

namespace tarvio {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace tarvio
