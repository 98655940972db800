// Red, green, blue and intensity counts of one preview, one sample per
// displayed pixel. Counting is the hot part of every preview decode, so add()
// is inline and touches four independent tables; the intensity bins (each
// pixel counts at its three channel values and at their mean) are derived from
// them (the mean bins from the channel sums, which saves a division per
// pixel) when the histogram is finalised.
#ifndef QUILLOMAT_PREVIEW_HISTOGRAM_H
#define QUILLOMAT_PREVIEW_HISTOGRAM_H

#include <array>
#include <cstdint>

class Histogram
{
public:
    Histogram() { clear(); }

    // All counts, peaks and the total to 0; not finalised.
    void clear();

    // One pixel with 8-bit channel values.
    void add(unsigned r, unsigned g, unsigned b)
    {
        ++m_total;
        ++m_red[r];
        ++m_green[g];
        ++m_blue[b];
        ++m_sums[r + g + b];
    }

    // Adds `count` pixels whose values were already counted with addUncounted.
    void addToTotal(std::int32_t count) { m_total += count; }
    // add() without the total, for loops that add the total once per row.
    void addUncounted(unsigned r, unsigned g, unsigned b)
    {
        ++m_red[r];
        ++m_green[g];
        ++m_blue[b];
        ++m_sums[r + g + b];
    }

    // Clips every bin to 2 % of the pixel count and finds the peaks. Runs once.
    void finalise();

    // Finalise if needed; the bin, or 0 outside 0-255 or while the intensity peak is 0.
    std::int32_t red(int i);
    std::int32_t green(int i);
    std::int32_t blue(int i);
    std::int32_t intensity(int i);

    std::int32_t total() const { return m_total; }
    bool isFinalised() const { return m_finalised; }
    // Valid once finalised.
    std::int32_t peakIntensity() const { return m_peakIntensity; }
    std::int32_t peakRed() const { return m_peakRed; }
    std::int32_t peakGreen() const { return m_peakGreen; }
    std::int32_t peakBlue() const { return m_peakBlue; }

private:
    using Bins = std::array<std::int32_t, 256>;

    std::int32_t bin(const Bins &bins, int i);

    bool m_finalised = false;
    std::int32_t m_total = 0;
    Bins m_red{};
    Bins m_green{};
    Bins m_blue{};
    std::array<std::int32_t, 766> m_sums{}; // pixels by r + g + b; their means fold into m_intensity
    Bins m_intensity{}; // filled by finalise()
    std::int32_t m_peakIntensity = 0;
    std::int32_t m_peakRed = 0;
    std::int32_t m_peakGreen = 0;
    std::int32_t m_peakBlue = 0;
};

#endif
