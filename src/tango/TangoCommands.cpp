// The commands: each one session call; what the session cannot do comes back as a DevFailed
// with the reason.

#include "tango/Limits.h"
#include "tango/TangoAttributes.h"
#include "tango/TangoDevice.h"

#include <functional>

namespace tarvio {

namespace {

void fail(const std::string& message, const char* origin) {
    Tango::Except::throw_exception("TARVIO_CommandFailed", message, origin);
}

// A command without argument.
class Plain : public Tango::Command {
public:
    using Action = std::function<void(TangoDevice&)>;
    Plain(const char* name, const char* description, Action action)
        : Tango::Command(name, Tango::DEV_VOID, Tango::DEV_VOID, "", description),
          action_(std::move(action)) {}
    CORBA::Any* execute(Tango::DeviceImpl* impl, const CORBA::Any&) override {
        auto& d = *static_cast<TangoDevice*>(impl);
        action_(d);
        d.changed();
        return insert();
    }

private:
    Action action_;
};

class Save : public Tango::Command {
public:
    Save()
        : Tango::Command("Save", Tango::DEV_STRING, Tango::DEV_VOID,
                         "Path of the file; .n42, .spe, .csv or .txt chooses the format", "") {}
    CORBA::Any* execute(Tango::DeviceImpl* impl, const CORBA::Any& in) override {
        Tango::DevString path = nullptr;
        extract(in, path);
        const std::string target = path ? path : "";
        if (const Refusal r = checkSavePath(target))
            refuse(*r, "Save");
        const SaveResult saved = static_cast<TangoDevice*>(impl)->session().save(target);
        if (!saved)
            fail("Save \"" + target + "\" failed: " + saved.error, "Save");
        return insert();
    }
};

void needOpen(TangoDevice& d, const char* command) {
    if (!d.session().opened())
        fail(std::string(command) + ": no interface is open; run Open first.", command);
}

} // namespace

void addCommands(std::vector<Tango::Command*>& commands) {
    commands.push_back(
        new Plain("Open", "Opens the interface of the Interface property", [](TangoDevice& d) {
            if (!d.session().open())
                fail("Open: " + d.session().lastProblem(), "Open");
        }));
    commands.push_back(new Plain("Close", "Stops, switches the bias off and closes",
                                 [](TangoDevice& d) { d.session().close(); }));
    commands.push_back(
        new Plain("Start", "Clears the spectrum and starts measuring", [](TangoDevice& d) {
            needOpen(d, "Start");
            if (!d.session().start())
                fail("Start: the interface did not start measuring.", "Start");
        }));
    commands.push_back(new Plain("Stop", "Stops measuring", [](TangoDevice& d) {
        needOpen(d, "Stop");
        if (!d.session().stop())
            fail("Stop: the interface did not stop.", "Stop");
    }));
    commands.push_back(new Plain("Single", "Counts one pulse", [](TangoDevice& d) {
        needOpen(d, "Single");
        if (!d.session().single())
            fail("Single: the interface sent no pulse.", "Single");
    }));
    commands.push_back(new Plain("Clear", "Clears the spectrum and the times",
                                 [](TangoDevice& d) { d.session().clear(); }));
    commands.push_back(new Save);
}

} // namespace tarvio
