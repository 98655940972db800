// A size in kilobytes as the short text the window shows ("1,478KB", "28.4GB").
#ifndef QUILLOMAT_UI_WINDOW_FORMATSIZE_H
#define QUILLOMAT_UI_WINDOW_FORMATSIZE_H

#include <QString>

#include <cstdint>

QString formatSize(uint64_t kilobytes);

#endif
