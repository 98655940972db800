#include "Histogram.h"

#include <algorithm>

void Histogram::clear()
{
    m_finalised = false;
    m_total = 0;
    m_red.fill(0);
    m_green.fill(0);
    m_blue.fill(0);
    m_sums.fill(0);
    m_intensity.fill(0);
    m_peakIntensity = m_peakRed = m_peakGreen = m_peakBlue = 0;
}

void Histogram::finalise()
{
    if (m_finalised)
        return;
    m_finalised = true;
    // No bin may exceed 2 % of the pixel count, so one flat area cannot
    // flatten the rest of the curve.
    const std::int32_t cap = m_total / 50;
    for (int i = 0; i < 256; ++i) {
        // Each pixel counts four times into the intensity bins: at its three
        // channel values and at their mean.
        std::int64_t four = std::int64_t(m_red[i]) + m_green[i] + m_blue[i];
        for (int sum = 3 * i; sum < 3 * i + 3 && sum < int(m_sums.size()); ++sum)
            four += m_sums[std::size_t(sum)];
        m_intensity[i] = static_cast<std::int32_t>(four / 4);
        m_red[i] = std::min(m_red[i], cap);
        m_green[i] = std::min(m_green[i], cap);
        m_blue[i] = std::min(m_blue[i], cap);
        m_intensity[i] = std::min(m_intensity[i], cap);
        m_peakRed = std::max(m_peakRed, m_red[i]);
        m_peakGreen = std::max(m_peakGreen, m_green[i]);
        m_peakBlue = std::max(m_peakBlue, m_blue[i]);
        m_peakIntensity = std::max(m_peakIntensity, m_intensity[i]);
    }
}

std::int32_t Histogram::bin(const Bins &bins, int i)
{
    finalise();
    if (i < 0 || i > 255 || m_peakIntensity == 0)
        return 0;
    return bins[static_cast<std::size_t>(i)];
}

std::int32_t Histogram::red(int i) { return bin(m_red, i); }
std::int32_t Histogram::green(int i) { return bin(m_green, i); }
std::int32_t Histogram::blue(int i) { return bin(m_blue, i); }
std::int32_t Histogram::intensity(int i) { return bin(m_intensity, i); }
