#include "listmode/Hdf5Support.h"

#include <algorithm>

namespace tarvio {

namespace {

herr_t collectReason(unsigned /*n*/, const H5E_error2_t* error, void* data) {
    auto* reasons = static_cast<std::vector<std::string>*>(data);
    if (error->desc && *error->desc)
        reasons->emplace_back(error->desc);
    return 0;
}

H5Handle attributeSpace(const std::vector<hsize_t>& dims) {
    if (dims.empty())
        return {checked(H5Screate(H5S_SCALAR), "attribute"), H5Sclose};
    return {
        checked(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr), "attribute"),
        H5Sclose};
}

void replaceAttribute(hid_t object, const char* name, hid_t fileType, hid_t memoryType,
                      const H5Handle& space, const void* value) {
    if (H5Aexists(object, name) > 0)
        checked(H5Adelete(object, name), std::string("attribute ") + name);
    H5Handle attribute(
        checked(H5Acreate2(object, name, fileType, space.get(), H5P_DEFAULT, H5P_DEFAULT),
                std::string("attribute ") + name),
        H5Aclose);
    checked(H5Awrite(attribute.get(), memoryType, value), std::string("attribute ") + name);
}

H5Handle openAttribute(hid_t object, const char* name) {
    if (H5Aexists(object, name) <= 0)
        return {};
    return {H5Aopen(object, name, H5P_DEFAULT), H5Aclose};
}

// The attribute's element count and class, or 0 elements when it cannot be read.
hssize_t elements(const H5Handle& attribute, H5T_class_t wanted) {
    H5Handle type(H5Aget_type(attribute.get()), H5Tclose);
    H5Handle space(H5Aget_space(attribute.get()), H5Sclose);
    if (!type || !space || H5Tget_class(type.get()) != wanted)
        return 0;
    return H5Sget_simple_extent_npoints(space.get());
}

} // namespace

void quietHdf5() {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
}

std::vector<std::string> hdf5Reasons() {
    std::vector<std::string> reasons;
    H5Ewalk2(H5E_DEFAULT, H5E_WALK_UPWARD, collectReason, &reasons);
    H5Eclear2(H5E_DEFAULT);
    return reasons;
}

std::string hdf5Reason() {
    const std::vector<std::string> reasons = hdf5Reasons();
    return reasons.empty() ? std::string("HDF5 gave no reason") : reasons.front();
}

hid_t checked(hid_t id, const std::string& what) {
    if (id < 0)
        throw ListFileError(what + ": " + hdf5Reason());
    return id;
}

void writeAttribute(hid_t object, const char* name, const std::string& value) {
    H5Handle type(checked(H5Tcopy(H5T_C_S1), "attribute"), H5Tclose);
    checked(H5Tset_size(type.get(), std::max<std::size_t>(value.size(), 1)), "attribute");
    checked(H5Tset_cset(type.get(), H5T_CSET_UTF8), "attribute");
    const std::string stored = value.empty() ? std::string(1, '\0') : value;
    replaceAttribute(object, name, type.get(), type.get(), attributeSpace({}), stored.data());
}

void writeAttribute(hid_t object, const char* name, double value) {
    replaceAttribute(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, attributeSpace({}), &value);
}

void writeAttribute(hid_t object, const char* name, std::int64_t value) {
    replaceAttribute(object, name, H5T_STD_I64LE, H5T_NATIVE_INT64, attributeSpace({}), &value);
}

void writeAttribute(hid_t object, const char* name, const std::vector<double>& values) {
    replaceAttribute(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE,
                     attributeSpace({values.size()}), values.data());
}

std::optional<std::string> readStringAttribute(hid_t object, const char* name) {
    H5Handle attribute = openAttribute(object, name);
    if (!attribute)
        return std::nullopt;
    H5Handle type(H5Aget_type(attribute.get()), H5Tclose);
    if (!type || H5Tget_class(type.get()) != H5T_STRING || H5Tis_variable_str(type.get()) != 0)
        return std::nullopt; // the writer stores fixed-length text only
    const std::size_t size = H5Tget_size(type.get());
    if (size == 0 || size > (std::size_t{1} << 20))
        return std::nullopt;
    std::string text(size, '\0');
    if (H5Aread(attribute.get(), type.get(), text.data()) < 0)
        return std::nullopt;
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

std::optional<double> readDoubleAttribute(hid_t object, const char* name) {
    H5Handle attribute = openAttribute(object, name);
    double value = 0.0;
    if (!attribute ||
        (elements(attribute, H5T_FLOAT) != 1 && elements(attribute, H5T_INTEGER) != 1) ||
        H5Aread(attribute.get(), H5T_NATIVE_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> readIntAttribute(hid_t object, const char* name) {
    H5Handle attribute = openAttribute(object, name);
    std::int64_t value = 0;
    if (!attribute || elements(attribute, H5T_INTEGER) != 1 ||
        H5Aread(attribute.get(), H5T_NATIVE_INT64, &value) < 0)
        return std::nullopt;
    return value;
}

std::vector<double> readDoublesAttribute(hid_t object, const char* name) {
    H5Handle attribute = openAttribute(object, name);
    if (!attribute)
        return {};
    const hssize_t n = elements(attribute, H5T_FLOAT);
    if (n <= 0 || n > 64)
        return {};
    std::vector<double> values(static_cast<std::size_t>(n));
    if (H5Aread(attribute.get(), H5T_NATIVE_DOUBLE, values.data()) < 0)
        return {};
    return values;
}

} // namespace tarvio
