// Shrinks a decoded B, G, R image (wider than 720) to the 720 x 480 main preview
// by bilinear sampling, counting every output pixel into the histogram in the
// same pass.
//
// Output row i samples source y = sy/2 + i*sy and column j samples
// x = sx/2 + j*sx (sx = width/720, sy = height/480); each channel is the
// weighted sum of the four neighbours in doubles, neighbours past the last
// row or column repeat it, and the sum is truncated. The positions and
// weights are computed once per image; the per-pixel work is a few vector
// operations, so the preview costs little more than the decode itself.
#ifndef QUILLOMAT_PREVIEW_PREVIEWRESAMPLER_H
#define QUILLOMAT_PREVIEW_PREVIEWRESAMPLER_H

#include <cstddef>
#include <cstdint>
#include <vector>

class Histogram;

class PreviewResampler
{
public:
    static constexpr int kWidth = 720;
    static constexpr int kHeight = 480;
    // Bytes the source buffer must have readable after its last pixel.
    static constexpr std::size_t kSourcePadding = 4;

    // Automatic uses the vector path where the processor has it.
    enum class Path { Automatic, Plain };

    PreviewResampler(int sourceWidth, int sourceHeight, Path path = Path::Automatic);

    // Output row `row` blends source rows topRow(row) and nextRow(row), which
    // is topRow + 1 or, at the bottom edge, the same row.
    int topRow(int row) const { return m_rows[std::size_t(row)].top; }
    int nextRow(int row) const { return m_rows[std::size_t(row)].next; }

    // Makes output row `row` into `target` (720 B, G, R pixels) from the two
    // packed source rows (width*3 bytes each, kSourcePadding bytes readable
    // after each), and adds its pixels to `histogram`.
    void resampleRow(int row, const unsigned char *top, const unsigned char *next, unsigned char *target,
                     Histogram &histogram) const;

private:
    struct Column
    {
        std::size_t offset;     // byte offset of the left neighbour in a row
        std::size_t nextOffset; // right neighbour, clamped to the last column
        double left;            // 1 - fx
        double right;           // fx
    };
    struct Row
    {
        int top;
        int next;               // clamped to the last row
        double upper;           // 1 - fy
        double lower;           // fy
    };

    void resampleRowPlain(const Row &row, const unsigned char *top, const unsigned char *bottom,
                          unsigned char *target, Histogram &histogram) const;
    void resampleRowVector(const Row &row, const unsigned char *top, const unsigned char *bottom,
                           unsigned char *target, Histogram &histogram) const;
    void resampleRowFromTable(int row, const unsigned char *top, const unsigned char *bottom, unsigned char *target,
                              Histogram &histogram) const;
    void buildWeightTable();

    void resampleLastColumn(const unsigned char *top, const unsigned char *bottom, const Row &row,
                            unsigned char *target, Histogram &histogram) const;

    std::vector<Column> m_columns;
    // For the vector path: each column's left and right weights repeated in
    // four lanes (one per channel), and its left neighbour's offset. Only the
    // last column can have its right neighbour clamped; it is done apart.
    std::vector<double> m_laneWeights;
    std::vector<std::uint32_t> m_offsets;
    // When the steps are round numbers (2160 wide decoded at 1/2 gives steps
    // of exactly 1.5), the columns and rows take only a few distinct weights.
    // Then the four products of every weight pair are computed once into a
    // small table, and each pixel only looks its four up. m_columnWeights[j]
    // and m_rowWeights[i] index it (in doubles); empty without a table.
    std::vector<double> m_weightTable;
    std::vector<std::uint32_t> m_columnWeights;
    std::vector<std::uint32_t> m_rowWeights;
    std::vector<Row> m_rows;
    bool m_vector;
};

#endif
