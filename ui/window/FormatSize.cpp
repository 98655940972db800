#include "FormatSize.h"

QString formatSize(uint64_t k)
{
    // Thousands are grouped with a comma and the unit steps up once the
    // number would need five digits, as the camera's own displays do.
    if (k < 1024)
        return QString::asprintf("%lluKB", static_cast<unsigned long long>(k));
    if (k < 10240)
        return QString::asprintf("%llu,%03lluKB", static_cast<unsigned long long>(k / 1000),
                                 static_cast<unsigned long long>(k % 1000));
    if (k < 102400)
        return QString::asprintf("%0.1fMB", static_cast<double>(k) / 1024.0);
    const uint64_t m = k / 1024;
    if (k < 1024000)
        return QString::asprintf("%lluMB", static_cast<unsigned long long>(m));
    if (k < 10485760)
        return QString::asprintf("%llu,%03lluMB", static_cast<unsigned long long>(m / 1000),
                                 static_cast<unsigned long long>(m % 1000));
    if (k < 104857600)
        return QString::asprintf("%0.1fGB", static_cast<double>(m) / 1024.0);
    return QString::asprintf("%lluGB", static_cast<unsigned long long>(k / 1048576));
}
