// The text commands of quillomat-simcam, run against the attached camera.
#include "SimControl.h"

#include "ExposureTables.h"

#include <psLLAPI.h>

#include <cstdlib>
#include <sstream>

namespace simcam {
namespace {

std::string ok(const std::string &text = {})
{
    return text.empty() ? "ok" : "ok " + text;
}

std::string error(const std::string &text)
{
    return "error " + text;
}

std::string status(SimCamera &camera)
{
    const CameraState s = camera.state();
    static const char *kModes[] = {"image zone", "P", "Tv", "Av", "M", "A-DEP"};
    std::ostringstream out;
    out << s.model.name << (camera.present() ? ", connected" : ", gone") << (camera.deviceOpen() ? ", open" : "")
        << "; mode " << (s.exposureMode <= 5 ? kModes[s.exposureMode] : "?") << "; tv " << shutterText(s.tv)
        << "; av " << apertureText(s.av) << "; iso " << isoSpeed(s.iso, s.model.isD60) << "; ev "
        << compensationText(s.exposureCompensation) << "; card ";
    if (camera.cardPresent())
        out << camera.shotsRemaining();
    else
        out << "none";
    out << "; next file " << camera.nextFileNumber();
    return out.str();
}

} // namespace

const char *controlCommandHelp()
{
    return "shutter                 press the shutter button\n"
           "set <setting> <value>   change a setting on the camera (tv 1/250, av 5.6, iso 400,\n"
           "                        quality small/fine, wb daylight, metering partial, drive continuous,\n"
           "                        af ai-servo, afpoint left, ev +1/3, flashcomp -2/3, pset 1, beep off)\n"
           "dial <mode>             turn the mode dial (P, Tv, Av, M, A-DEP, auto, portrait, ...)\n"
           "menu on|off             open or close the LCD menu\n"
           "cf-cover                open the CF card cover\n"
           "battery-cover           open the battery cover\n"
           "power-off               auto power-off\n"
           "warn                    warn that the camera is about to power off\n"
           "unplug [after BYTES]    pull the USB cable (at once, or once so many bytes\n"
           "                        of a transfer have crossed it)\n"
           "reconnect               plug the camera in again\n"
           "card <shots>|none       put in a card with room for that many shots, or take it out\n"
           "af-fail on|off          the lens cannot focus\n"
           "lose thumbnail|fullview [n]\n"
           "                        the next n (1) thumbnail or full-view events are not sent\n"
           "status                  show the camera's state\n";
}

std::string runControlCommand(const std::string &line)
{
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string rest;
    std::getline(in, rest);
    const auto first = rest.find_first_not_of(' ');
    rest = first == std::string::npos ? std::string() : rest.substr(first);
    const auto camera = simulatedCamera();
    std::string why;

    if (command == "shutter")
        return camera->pressShutter(&why) ? ok() : error(why);
    if (command == "set") {
        const auto blank = rest.find(' ');
        if (blank == std::string::npos)
            return error("usage: set <setting> <value>");
        return camera->changeSetting(rest.substr(0, blank), rest.substr(blank + 1), &why) ? ok() : error(why);
    }
    if (command == "dial")
        return camera->turnDial(rest, &why) ? ok() : error(why);
    if (command == "menu") {
        if (rest != "on" && rest != "off")
            return error("usage: menu on|off");
        camera->setMenuOpen(rest == "on");
        return ok();
    }
    if (command == "af-fail") {
        if (rest != "on" && rest != "off")
            return error("usage: af-fail on|off");
        camera->setAfFailure(rest == "on");
        return ok();
    }
    if (command == "cf-cover") {
        camera->shutdown(PS_SHUTDOWN_CF_GATE_CHANGED);
        return ok();
    }
    if (command == "battery-cover") {
        camera->shutdown(PS_SHUTDOWN_BATTERY_COVER);
        return ok();
    }
    if (command == "power-off") {
        camera->shutdown(PS_SHUTDOWN_AUTO_POWER_OFF);
        return ok();
    }
    if (command == "unplug") {
        if (rest.empty()) {
            camera->shutdown(PS_SHUTDOWN_DISCONNECTED);
            return ok();
        }
        std::istringstream words(rest);
        std::string after;
        unsigned long long bytes = 0;
        if (!(words >> after >> bytes) || after != "after" || bytes == 0)
            return error("usage: unplug [after BYTES]");
        camera->unplugAfter(bytes);
        return ok();
    }
    if (command == "reconnect") {
        camera->reconnect();
        return ok();
    }
    if (command == "warn") {
        if (!camera->deviceOpen() || !camera->present())
            return error("no program is connected to the camera");
        return ok(camera->warnPowerOff() ? "stayed awake" : "powered off");
    }
    if (command == "card") {
        if (rest == "none") {
            camera->setCard(false, 0);
            return ok();
        }
        char *end = nullptr;
        const long shots = std::strtol(rest.c_str(), &end, 10);
        if (rest.empty() || *end != '\0' || shots < 0)
            return error("usage: card <shots>|none");
        camera->setCard(true, static_cast<uint32_t>(shots));
        return ok();
    }
    if (command == "lose") {
        std::istringstream words(rest);
        std::string which, number, extra;
        words >> which >> number >> extra;
        long count = 1;
        if (!number.empty()) {
            char *end = nullptr;
            count = std::strtol(number.c_str(), &end, 10);
            if (*end != '\0')
                count = -1;
        }
        if ((which != "thumbnail" && which != "fullview") || count < 0 || count > 0xFFFFFFFFL || !extra.empty())
            return error("usage: lose thumbnail|fullview [n]");
        if (which == "thumbnail")
            camera->loseThumbnailEvents(static_cast<uint32_t>(count));
        else
            camera->loseFullViewEvents(static_cast<uint32_t>(count));
        return ok();
    }
    if (command == "status")
        return ok(status(*camera));
    return error("unknown command '" + command + "'");
}

} // namespace simcam
