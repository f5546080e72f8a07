#pragma once
// A save that failed ends its handler with the file and the reason in the error box.

#include "records/SaveResult.h"
#include "settings/AppError.h"

#include <string>

namespace tarvio {

inline void throwIfNotSaved(const SaveResult& saved, const std::string& path) {
    if (saved)
        return;
    // The operator must learn which file was not written and why.
    if (saved.error.find(path) != std::string::npos)
        throw AppError(saved.error);
    throw AppError("The spectrum was not saved to " + path + ". " + saved.error);
}

} // namespace tarvio
