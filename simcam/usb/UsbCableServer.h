// The served camera's end of the emulated USB cable: a Unix socket on which
// each host's port library connects. One host may claim the camera at a
// time; with the camera unplugged or off every transfer fails as a vanished
// device does.
#ifndef QUILLOMAT_SIMCAM_USBCABLESERVER_H
#define QUILLOMAT_SIMCAM_USBCABLESERVER_H

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace simcam {

class CanonUsbCamera;
class CardFolder;
class SimCamera;

class UsbCableServer {
public:
    using Log = std::function<void(const std::string &)>;

    UsbCableServer(std::shared_ptr<SimCamera> camera, std::shared_ptr<CardFolder> card, Log log);
    ~UsbCableServer();
    UsbCableServer(const UsbCableServer &) = delete;
    UsbCableServer &operator=(const UsbCableServer &) = delete;

    bool start(const std::string &path, std::string *error);
    void stop();

private:
    void acceptLoop();
    void serve(int fd);
    void reapFinished();   // m_mutex held

    std::shared_ptr<SimCamera> m_camera;
    std::unique_ptr<CanonUsbCamera> m_usb;
    Log m_log;
    std::string m_path;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_acceptor;

    std::mutex m_mutex;
    struct Connection {
        int fd;
        std::atomic<bool> done{false};
        std::thread thread;
    };
    // Lookups come as a connection each; finished ones are joined as new ones arrive.
    std::list<Connection> m_connections;
    int m_claimedBy = -1;          // the connection that has the camera open
};

} // namespace simcam

#endif
