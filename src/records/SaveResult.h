#pragma once
// What became of a save: written, or not and why (a sentence fit for the operator).

#include <string>
#include <utility>

namespace tarvio {

struct SaveResult {
    bool ok = false;
    std::string error; // empty when ok

    static SaveResult success() { return {true, {}}; }
    static SaveResult failure(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

} // namespace tarvio
