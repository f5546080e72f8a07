#pragma once
// The one error type of the window layer. Handlers let it end their work; the handler
// boundary catches it and shows its message in the application's error box.

#include <stdexcept>
#include <string>

namespace tarvio {

class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace tarvio
