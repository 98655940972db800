#include "PreviewResampler.h"

#include "Histogram.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILLOMAT_RESAMPLE_AVX 1
#endif

PreviewResampler::PreviewResampler(int sourceWidth, int sourceHeight, [[maybe_unused]] Path path)
    : m_columns(kWidth), m_rows(kHeight), m_vector(false)
{
    const double sx = double(sourceWidth) / kWidth;
    const double sy = double(sourceHeight) / kHeight;
    for (int j = 0; j < kWidth; ++j) {
        const double x = sx / 2 + j * sx;
        int tx = int(std::floor(x));
        const double fx = x - tx;
        tx = tx < sourceWidth ? tx : sourceWidth - 1;
        const int next = tx + 1 < sourceWidth ? tx + 1 : sourceWidth - 1;
        m_columns[std::size_t(j)] = {std::size_t(tx) * 3, std::size_t(next) * 3, 1 - fx, fx};
    }
    for (int i = 0; i < kHeight; ++i) {
        const double y = sy / 2 + i * sy;
        int ty = int(std::floor(y));
        const double fy = y - ty;
        ty = ty < sourceHeight ? ty : sourceHeight - 1;
        const int next = ty + 1 < sourceHeight ? ty + 1 : sourceHeight - 1;
        m_rows[std::size_t(i)] = {ty, next, 1 - fy, fy};
    }
#ifdef QUILLOMAT_RESAMPLE_AVX
    // The vector loop relies on right neighbours being adjacent (true for
    // every column but the last when the source is at least as wide as the
    // preview) and on byte offsets fitting 32 bits.
    m_vector = path == Path::Automatic && __builtin_cpu_supports("avx2") && sourceWidth >= kWidth
               && std::size_t(sourceWidth) * 3 <= UINT32_MAX;
#endif
    if (m_vector) {
        m_laneWeights.resize(std::size_t(kWidth) * 8);
        m_offsets.resize(kWidth);
        for (std::size_t j = 0; j < std::size_t(kWidth); ++j) {
            for (std::size_t lane = 0; lane < 4; ++lane) {
                m_laneWeights[j * 8 + lane] = m_columns[j].left;
                m_laneWeights[j * 8 + 4 + lane] = m_columns[j].right;
            }
            m_offsets[j] = std::uint32_t(m_columns[j].offset);
        }
        buildWeightTable();
    }
}

namespace {

// Index of `value` among `distinct` (compared bit for bit), appending it if new.
template <typename Pair>
std::size_t classOf(std::vector<Pair> &distinct, const Pair &value)
{
    for (std::size_t k = 0; k < distinct.size(); ++k)
        if (std::memcmp(&distinct[k], &value, sizeof value) == 0)
            return k;
    distinct.push_back(value);
    return distinct.size() - 1;
}

} // namespace

void PreviewResampler::buildWeightTable()
{
    // Small enough to stay in the first-level cache: 8 x 8 pairs of 128 bytes.
    constexpr std::size_t kMaxClasses = 8;
    struct Pair
    {
        double first, second;
    };
    std::vector<Pair> columnClasses;
    std::vector<Pair> rowClasses;
    std::vector<std::size_t> columnClass(kWidth - 1);
    std::vector<std::size_t> rowClass(kHeight);
    // The last column is done apart and needs no class.
    for (std::size_t j = 0; j + 1 < std::size_t(kWidth); ++j) {
        columnClass[j] = classOf(columnClasses, Pair{m_columns[j].left, m_columns[j].right});
        if (columnClasses.size() > kMaxClasses)
            return;
    }
    for (std::size_t i = 0; i < std::size_t(kHeight); ++i) {
        rowClass[i] = classOf(rowClasses, Pair{m_rows[i].upper, m_rows[i].lower});
        if (rowClasses.size() > kMaxClasses)
            return;
    }
    constexpr std::size_t kEntry = 16; // four weights, four lanes each
    m_weightTable.resize(rowClasses.size() * columnClasses.size() * kEntry);
    for (std::size_t r = 0; r < rowClasses.size(); ++r) {
        for (std::size_t c = 0; c < columnClasses.size(); ++c) {
            // The very products the per-pixel loops form.
            const double left = columnClasses[c].first;
            const double right = columnClasses[c].second;
            const double upper = rowClasses[r].first;
            const double lower = rowClasses[r].second;
            const double weights[4] = {left * upper, right * upper, left * lower, right * lower};
            double *entry = &m_weightTable[(r * columnClasses.size() + c) * kEntry];
            for (std::size_t w = 0; w < 4; ++w)
                for (std::size_t lane = 0; lane < 4; ++lane)
                    entry[w * 4 + lane] = weights[w];
        }
    }
    m_columnWeights.resize(columnClass.size());
    for (std::size_t j = 0; j < columnClass.size(); ++j)
        m_columnWeights[j] = std::uint32_t(columnClass[j] * kEntry);
    m_rowWeights.resize(rowClass.size());
    for (std::size_t i = 0; i < rowClass.size(); ++i)
        m_rowWeights[i] = std::uint32_t(rowClass[i] * columnClasses.size() * kEntry);
}

void PreviewResampler::resampleRow(int row, const unsigned char *top, const unsigned char *next, unsigned char *target,
                                   Histogram &histogram) const
{
    const Row &r = m_rows[std::size_t(row)];
    if (!m_weightTable.empty())
        resampleRowFromTable(row, top, next, target, histogram);
    else if (m_vector)
        resampleRowVector(r, top, next, target, histogram);
    else
        resampleRowPlain(r, top, next, target, histogram);
    histogram.addToTotal(kWidth);
}

void PreviewResampler::resampleLastColumn(const unsigned char *top, const unsigned char *bottom, const Row &row,
                                          unsigned char *target, Histogram &histogram) const
{
    const Column &column = m_columns.back();
    const double w00 = column.left * row.upper;
    const double w10 = column.right * row.upper;
    const double w01 = column.left * row.lower;
    const double w11 = column.right * row.lower;
    for (std::size_t c = 0; c < 3; ++c) {
        const double value = w00 * top[column.offset + c] + w10 * top[column.nextOffset + c]
                             + w01 * bottom[column.offset + c] + w11 * bottom[column.nextOffset + c];
        target[c] = static_cast<unsigned char>(int(value));
    }
    histogram.addUncounted(target[2], target[1], target[0]);
}

void PreviewResampler::resampleRowPlain(const Row &row, const unsigned char *top, const unsigned char *bottom,
                                        unsigned char *target, Histogram &histogram) const
{
    for (const Column &column : m_columns) {
        // The weights are formed exactly as in the straightforward formula,
        // so the truncated results match it bit for bit.
        const double w00 = column.left * row.upper;
        const double w10 = column.right * row.upper;
        const double w01 = column.left * row.lower;
        const double w11 = column.right * row.lower;
        for (std::size_t c = 0; c < 3; ++c) {
            const double value = w00 * top[column.offset + c] + w10 * top[column.nextOffset + c]
                                 + w01 * bottom[column.offset + c] + w11 * bottom[column.nextOffset + c];
            target[c] = static_cast<unsigned char>(int(value));
        }
        histogram.addUncounted(target[2], target[1], target[0]);
        target += 3;
    }
}

#ifdef QUILLOMAT_RESAMPLE_AVX

namespace {

// Four bytes (one B, G, R pixel and the next byte) as four doubles.
__attribute__((target("avx2"))) inline __m256d loadPixel(const unsigned char *p)
{
    std::int32_t bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
}

} // namespace

__attribute__((target("avx2"))) void PreviewResampler::resampleRowVector(const Row &row, const unsigned char *top,
                                                                         const unsigned char *bottom,
                                                                         unsigned char *target,
                                                                         Histogram &histogram) const
{
    // Low bytes of the first three 32-bit lanes: B, G, R.
    const __m128i pack = _mm_setr_epi8(0, 4, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256d upper = _mm256_set1_pd(row.upper);
    const __m256d lower = _mm256_set1_pd(row.lower);
    const double *weights = m_laneWeights.data();
    const std::uint32_t *offsets = m_offsets.data();
    // Every column but the last has its right neighbour next to the left one.
    for (int j = 0; j < kWidth - 1; ++j, target += 3, weights += 8) {
        const std::uint32_t offset = offsets[j];
        const __m256d left = _mm256_loadu_pd(weights);
        const __m256d right = _mm256_loadu_pd(weights + 4);
        // Same products, same order of additions as the plain loop: no fused
        // multiply-add, so every lane rounds identically.
        const __m256d w00 = _mm256_mul_pd(left, upper);
        const __m256d w10 = _mm256_mul_pd(right, upper);
        const __m256d w01 = _mm256_mul_pd(left, lower);
        const __m256d w11 = _mm256_mul_pd(right, lower);
        __m256d sum = _mm256_mul_pd(w00, loadPixel(top + offset));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(w10, loadPixel(top + offset + 3)));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(w01, loadPixel(bottom + offset)));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(w11, loadPixel(bottom + offset + 3)));
        const __m128i bgr = _mm_shuffle_epi8(_mm256_cvttpd_epi32(sum), pack);
        // Four bytes are cheaper to write than three; the extra one is the
        // next pixel's and is written over next.
        _mm_storeu_si32(target, bgr);
        histogram.addUncounted(target[2], target[1], target[0]);
    }
    resampleLastColumn(top, bottom, row, target, histogram);
}

__attribute__((target("avx2"))) void PreviewResampler::resampleRowFromTable(int row, const unsigned char *top,
                                                                            const unsigned char *bottom,
                                                                            unsigned char *target,
                                                                            Histogram &histogram) const
{
    const __m128i pack = _mm_setr_epi8(0, 4, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const double *table = m_weightTable.data() + m_rowWeights[std::size_t(row)];
    const std::uint32_t *offsets = m_offsets.data();
    const std::uint32_t *classes = m_columnWeights.data();
    for (int j = 0; j < kWidth - 1; ++j, target += 3) {
        const std::uint32_t offset = offsets[j];
        const double *w = table + classes[j];
        __m256d sum = _mm256_mul_pd(_mm256_loadu_pd(w), loadPixel(top + offset));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_loadu_pd(w + 4), loadPixel(top + offset + 3)));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_loadu_pd(w + 8), loadPixel(bottom + offset)));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_loadu_pd(w + 12), loadPixel(bottom + offset + 3)));
        const __m128i bgr = _mm_shuffle_epi8(_mm256_cvttpd_epi32(sum), pack);
        _mm_storeu_si32(target, bgr);
        histogram.addUncounted(target[2], target[1], target[0]);
    }
    resampleLastColumn(top, bottom, m_rows[std::size_t(row)], target, histogram);
}

#else

// Without the vector instructions the plain loop is the only path.
void PreviewResampler::resampleRowVector(const Row &row, const unsigned char *top, const unsigned char *bottom,
                                         unsigned char *target, Histogram &histogram) const
{
    resampleRowPlain(row, top, bottom, target, histogram);
}

void PreviewResampler::resampleRowFromTable(int row, const unsigned char *top, const unsigned char *bottom,
                                            unsigned char *target, Histogram &histogram) const
{
    resampleRowPlain(m_rows[std::size_t(row)], top, bottom, target, histogram);
}

#endif
