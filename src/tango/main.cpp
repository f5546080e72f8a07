// tarvio2-tango: a Tango device server for one readout interface.
//
//     tarvio2-tango INSTANCE -nodb -dlist lab/mca/1 -ORBendPoint giop:tcp:127.0.0.1:10000
//     tarvio2-tango INSTANCE                      (registered in the site's Tango database)
//
// SIGTERM, SIGINT and SIGHUP end it cleanly: the measurement stopped, the bias off, the final
// autosave written, exit status 0.

#include "tango/TangoClass.h"

#include <iostream>

void Tango::DServer::class_factory() {
    add_class(tarvio::TangoClass::instance());
}

int main(int argc, char* argv[]) {
    try {
        Tango::Util* tango = Tango::Util::init(argc, argv);
        tango->server_init(false);
        std::cout << "Ready to accept requests" << std::endl;
        tango->server_run();
        tango->server_cleanup();
    } catch (const std::bad_alloc&) {
        std::cerr << "tarvio2-tango: out of memory\n";
        return 1;
    } catch (const CORBA::Exception& failure) {
        Tango::Except::print_exception(failure);
        return 1;
    }
    return 0;
}
