// Where the USB runtime tells the program's log what libgphoto2 said.
#ifndef QUILLOMAT_USBCAM_DIAGNOSTICS_H
#define QUILLOMAT_USBCAM_DIAGNOSTICS_H

#include <psLLAPI.h>

#include <string>

namespace usbcam {

void setDiagnosticSink(psDiagnosticSink sink, void *context);
// One line; to standard error until the program gives a sink.
void diagnose(const std::string &text);

} // namespace usbcam

#endif
