#pragma once
// The little of HDF5's C interface the list-mode files need, made safe to hold: identifiers
// that close themselves, errors as exceptions with HDF5's own reason, attributes by value.
// Debian's libhdf5 is built thread-safe, so the writer thread and a reader elsewhere may
// both call it.

#include <hdf5.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tarvio {

class ListFileError : public std::runtime_error {
public:
    explicit ListFileError(const std::string& message) : std::runtime_error(message) {}
};

// Turns off HDF5's printing of its error stack on this thread: failures become messages.
void quietHdf5();

// What HDF5 said about the last failure on this thread: every level, innermost first, or
// the innermost alone; either clears it.
std::vector<std::string> hdf5Reasons();
std::string hdf5Reason();

// Throws ListFileError("<what>: <HDF5's reason>") when status or id is negative.
hid_t checked(hid_t id, const std::string& what);

class H5Handle {
public:
    using Closer = herr_t (*)(hid_t);
    H5Handle() = default;
    H5Handle(hid_t id, Closer closer) : id_(id), closer_(closer) {}
    H5Handle(const H5Handle&) = delete;
    H5Handle& operator=(const H5Handle&) = delete;
    H5Handle(H5Handle&& other) noexcept { swap(other); }
    H5Handle& operator=(H5Handle&& other) noexcept {
        H5Handle moved(std::move(other));
        swap(moved);
        return *this;
    }
    ~H5Handle() { reset(); }

    hid_t get() const { return id_; }
    explicit operator bool() const { return id_ >= 0; }
    // Closes now; false when HDF5 could not (for a file: could not write what it held).
    bool reset() {
        bool ok = true;
        if (id_ >= 0 && closer_)
            ok = closer_(id_) >= 0;
        id_ = -1;
        return ok;
    }

private:
    void swap(H5Handle& other) noexcept {
        std::swap(id_, other.id_);
        std::swap(closer_, other.closer_);
    }
    hid_t id_ = -1;
    Closer closer_ = nullptr;
};

// Attributes on a file's root group or any object; writing replaces one of the same name.
void writeAttribute(hid_t object, const char* name, const std::string& value);
void writeAttribute(hid_t object, const char* name, double value);
void writeAttribute(hid_t object, const char* name, std::int64_t value);
void writeAttribute(hid_t object, const char* name, const std::vector<double>& values);

// Empty when the attribute is absent or of another kind.
std::optional<std::string> readStringAttribute(hid_t object, const char* name);
std::optional<double> readDoubleAttribute(hid_t object, const char* name);
std::optional<std::int64_t> readIntAttribute(hid_t object, const char* name);
std::vector<double> readDoublesAttribute(hid_t object, const char* name);

} // namespace tarvio
