#pragma once
// The device's attributes and commands, as the device class lists them.

#include <tango.h>

#include <vector>

namespace tarvio {

void addAttributes(std::vector<Tango::Attr*>& attributes);
void addCommands(std::vector<Tango::Command*>& commands);

// Throws the DevFailed of a refused value: the message names the attribute and the range.
[[noreturn]] void refuse(const std::string& message, const char* origin);

} // namespace tarvio
