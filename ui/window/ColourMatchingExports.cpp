// The colour-management entry points the camera runtime looks for in the
// program that loads it. Each does nothing and reports success, which keeps
// colour matching inside the runtime switched off.
#define QUILLOMAT_EXPORT extern "C" __attribute__((visibility("default")))

QUILLOMAT_EXPORT int UCSInitialize() { return 0; }
QUILLOMAT_EXPORT int UCSTerminate() { return 0; }
QUILLOMAT_EXPORT int UCSCreateColorMatchingXform() { return 0; }
QUILLOMAT_EXPORT int UCSMatchPixmap() { return 0; }
QUILLOMAT_EXPORT int UCSDisposeXform() { return 0; }
QUILLOMAT_EXPORT int UCSCreateXform() { return 0; }
QUILLOMAT_EXPORT int UCSGetSysProfilePath() { return 0; }
QUILLOMAT_EXPORT int UCSGetProfileEnumerator() { return 0; }
QUILLOMAT_EXPORT int UCSGetProfileSpecificDescriptor() { return 0; }
QUILLOMAT_EXPORT int UCSDisposeProfileEnumerator() { return 0; }
