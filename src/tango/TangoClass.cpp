#include "tango/TangoClass.h"

#include "tango/TangoAttributes.h"
#include "tango/TangoDevice.h"

namespace tarvio {

TangoClass::TangoClass(std::string& name) : Tango::DeviceClass(name) {}

TangoClass* TangoClass::instance() {
    // Tango owns and deletes the class when the server ends.
    static TangoClass* only = [] {
        std::string name = Name;
        return new TangoClass(name);
    }();
    return only;
}

void TangoClass::attribute_factory(std::vector<Tango::Attr*>& attributes) {
    addAttributes(attributes);
}

void TangoClass::command_factory() {
    addCommands(command_list);
}

void TangoClass::device_factory(const Tango::DevVarStringArray* names) {
    // The link layer reaches one controller per process: one interface, one device.
    if (names->length() > 1)
        Tango::Except::throw_exception(
            "TARVIO_OneDevice",
            "A tarvio2-tango server serves one interface: start one server per device.",
            "TangoClass::device_factory");
    for (CORBA::ULong i = 0; i < names->length(); ++i) {
        auto* device = new TangoDevice(this, std::string((*names)[i].in()));
        device_list.push_back(device);
        if (Tango::Util::_UseDb && !Tango::Util::_FileDb)
            export_device(device);
        else
            export_device(device, device->get_name().c_str());
    }
}

} // namespace tarvio
