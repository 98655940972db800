// The user service that stands for one launch application: its unit name,
// made from the application's name, and the unit file that starts the
// application's command when the camera target starts.
#ifndef QUILLOMAT_UI_REGISTRATION_USERSERVICEUNIT_H
#define QUILLOMAT_UI_REGISTRATION_USERSERVICEUNIT_H

#include <string>

// The target the udev rule asks the user's manager to start when an EOS D30
// or EOS D60 is plugged in.
inline constexpr char kCameraTarget[] = "quillomat-camera.target";

// "Vantorel Systems Quillomat" -> "vantorel-systems-quillomat.service": ASCII
// letters and digits in lower case, every other run of characters one '-'.
// Empty when the name has no letter or digit.
std::string unitNameFor(const std::string &applicationName);

// The ExecStart command that starts the program at `path` with no arguments:
// the path quoted, with specifiers and bytes outside printable ASCII escaped;
// a path the manager refuses as an executable's name (quotes, backslashes,
// control characters) is started through /bin/sh instead.
std::string execStartCommand(const std::string &path);

// The whole unit file; empty when the name would not make a valid description
// (a control character in it).
std::string unitFileText(const std::string &applicationName, const std::string &commandPath);

#endif
