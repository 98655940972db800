// Run at build time: checks our declaration of the port-library table
// against libgphoto2's own port libraries. A USB port library fills the USB
// entries and leaves the serial ones empty, a serial one the reverse; a
// table laid out differently from ours breaks that pattern.
#include "PortOperations.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <dlfcn.h>

namespace {

GPPortOperations *operationsOf(const std::string &path)
{
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "port-library check: %s\n", dlerror());
        return nullptr;
    }
    auto operations = reinterpret_cast<GPPortOperations *(*)()>(dlsym(library, "gp_port_library_operations"));
    return operations ? operations() : nullptr;
}

bool expect(bool holds, const char *library, const char *what)
{
    if (!holds)
        std::fprintf(stderr, "port-library check: %s: %s\n", library, what);
    return holds;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IOLIBS-FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    GPPortOperations *usb = operationsOf(folder + "/usb1.so");
    GPPortOperations *serial = operationsOf(folder + "/serial.so");
    if (!usb || !serial) {
        std::free(usb);
        std::free(serial);
        return 1;
    }
    bool ok = true;
    ok &= expect(usb->open && usb->close && usb->read && usb->write && usb->check_int && usb->update, "usb1.so",
                 "the common entries are not where we declare them");
    ok &= expect(usb->find_device && usb->find_device_by_class && usb->clear_halt && usb->msg_read &&
                     usb->msg_write && usb->msg_class_read && usb->reset,
                 "usb1.so", "the USB entries are not where we declare them");
    ok &= expect(!usb->get_pin && !usb->set_pin && !usb->send_break && !usb->seek && !usb->send_scsi_cmd, "usb1.so",
                 "entries a USB port lacks are filled: the table is laid out differently");
    ok &= expect(serial->get_pin && serial->set_pin && serial->send_break && serial->flush, "serial.so",
                 "the serial entries are not where we declare them");
    ok &= expect(!serial->find_device && !serial->msg_read && !serial->msg_write && !serial->reset, "serial.so",
                 "USB entries of a serial port are filled: the table is laid out differently");
    // The tables are the caller's, as libgphoto2 takes them.
    std::free(usb);
    std::free(serial);
    return ok ? 0 : 1;
}
