// The entry points of a libgphoto2 port library. Debian ships the header
// that declares them (gphoto2-port-library.h) in no package, so the table is
// declared here as libgphoto2_port 0.12 lays it out; the build checks it
// against the port libraries installed with libgphoto2.
#ifndef QUILLOMAT_SIMCAM_PORTOPERATIONS_H
#define QUILLOMAT_SIMCAM_PORTOPERATIONS_H

#include <gphoto2/gphoto2-port-info-list.h>
#include <gphoto2/gphoto2-port.h>

extern "C" {

typedef struct _GPPortOperations {
    int (*init)(GPPort *);
    int (*exit)(GPPort *);
    int (*open)(GPPort *);
    int (*close)(GPPort *);
    int (*read)(GPPort *, char *, int);
    int (*check_int)(GPPort *, char *, int, int);
    int (*write)(GPPort *, const char *, int);
    int (*update)(GPPort *);
    // Serial lines.
    int (*get_pin)(GPPort *, GPPin, GPLevel *);
    int (*set_pin)(GPPort *, GPPin, GPLevel);
    int (*send_break)(GPPort *, int);
    int (*flush)(GPPort *, int);
    // USB.
    int (*find_device)(GPPort *, int vendor, int product);
    int (*find_device_by_class)(GPPort *, int mainclass, int subclass, int protocol);
    int (*clear_halt)(GPPort *, int endpoint);
    int (*msg_write)(GPPort *, int request, int value, int index, char *bytes, int size);
    int (*msg_read)(GPPort *, int request, int value, int index, char *bytes, int size);
    int (*msg_interface_write)(GPPort *, int request, int value, int index, char *bytes, int size);
    int (*msg_interface_read)(GPPort *, int request, int value, int index, char *bytes, int size);
    int (*msg_class_write)(GPPort *, int request, int value, int index, char *bytes, int size);
    int (*msg_class_read)(GPPort *, int request, int value, int index, char *bytes, int size);
    // USB disks and SCSI.
    int (*seek)(GPPort *, int offset, int whence);
    int (*send_scsi_cmd)(GPPort *, int to_dev, char *cmd, int cmd_size, char *sense, int sense_size,
                         char *data, int data_size);
    int (*reset)(GPPort *);
} GPPortOperations;

GPPortType gp_port_library_type(void);
int gp_port_library_list(GPPortInfoList *list);
GPPortOperations *gp_port_library_operations(void);
}

#endif
