#include "CameraReturnWatch.h"

#include "psError.h"
#include "psLLAPI.h"
#include "psRuntime.h"

bool CameraReturnWatch::cameraPortPresent()
{
    try {
        const psRuntimeCalls &runtime = psRuntime();
        for (const uint16_t portType : {uint16_t{PS_PORT_TYPE_USB}, uint16_t{PS_PORT_TYPE_SERIAL}}) {
            psPortDescrip port{};
            // No window: the lookup must never ask the user anything.
            if (runtime.getDevicePort(portType, 0, nullptr, &port, 0, 1) == 0)
                return true;
        }
    } catch (const psCException &) {
        // No runtime to ask: no camera either.
    }
    return false;
}

bool CameraReturnWatch::isComeBackReason(uint32_t reason)
{
    switch (reason) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 13: return true;
    default: return false;
    }
}

CameraReturnWatch::CameraReturnWatch(std::function<void()> onBack, std::function<bool()> lookup)
    : m_onBack(std::move(onBack)), m_lookup(std::move(lookup))
{
    m_timer.setInterval(kLookInterval);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { look(); });
}

void CameraReturnWatch::start()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void CameraReturnWatch::stop()
{
    m_timer.stop();
}

void CameraReturnWatch::look()
{
    ++m_looks;
    if (!m_lookup())
        return;
    m_timer.stop();
    m_onBack();
}
