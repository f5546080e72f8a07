#pragma once
// The Tango class "Tarvio2": its attributes, commands and properties, and one device per name
// the server is given.

#include <tango.h>

namespace tarvio {

class TangoClass : public Tango::DeviceClass {
public:
    static constexpr const char* Name = "Tarvio2";
    static TangoClass* instance();

    void attribute_factory(std::vector<Tango::Attr*>& attributes) override;
    void command_factory() override;
    void device_factory(const Tango::DevVarStringArray* names) override;

private:
    explicit TangoClass(std::string& name);
};

} // namespace tarvio
