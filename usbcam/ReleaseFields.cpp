#include "ReleaseFields.h"

#include <algorithm>

namespace usbcam {
namespace {

using Codes = std::vector<std::vector<uint8_t>>;

Codes singleBytes(std::initializer_list<uint8_t> values)
{
    Codes codes;
    for (uint8_t value : values)
        codes.push_back({value});
    return codes;
}

// The driver's tables (libgphoto2 2.5.30, camlibs/canon), as camera codes.
// Shutter: the driver's "1.6" choice writes 0x32, which no camera uses (1.6 s
// is 0x33); it stays in the table only to keep the positions.
Codes shutterCodes()
{
    return singleBytes({0x04, 0x10, 0x13, 0x15, 0x18, 0x1b, 0x1d, 0x20, 0x23, 0x25, 0x28, 0x2b, 0x2d, 0x30, 0x32,
                        0x35, 0x38, 0x3b, 0x3d, 0x40, 0x43, 0x45, 0x48, 0x4b, 0x4d, 0x50, 0x53, 0x55, 0x58, 0x5b,
                        0x5d, 0x60, 0x63, 0x65, 0x68, 0x6b, 0x6d, 0x70, 0x73, 0x75, 0x78, 0x7b, 0x7d, 0x80, 0x83,
                        0x85, 0x88, 0x8b, 0x8d, 0x90, 0x93, 0x95, 0x98, 0x9a, 0x9d, 0xa0});
}

Codes apertureCodes()
{
    return singleBytes({0x0d, 0x10, 0x13, 0x15, 0x18, 0x1b, 0x1d, 0x20, 0x23, 0x25, 0x28, 0x2b, 0x2d, 0x30, 0x33,
                        0x35, 0x38, 0x3b, 0x3d, 0x40, 0x43, 0x45, 0x48, 0x4b, 0x4d, 0x50, 0x53, 0x55, 0x58});
}

Codes isoCodes()
{
    return singleBytes({0x40, 0x48, 0x4b, 0x4d, 0x50, 0x53, 0x55, 0x58, 0x5b, 0x5d, 0x60, 0x63, 0x65, 0x68, 0x70});
}

// The driver's EOS column: its "0" writes 0x00, which these bodies read as
// +3 EV (their 0 EV is 0x18), so only the codes themselves are trusted.
Codes compensationCodes()
{
    return singleBytes({0x10, 0x0d, 0x0c, 0x0b, 0x08, 0x05, 0x04, 0x03, 0x00, 0xfd, 0xfc, 0xfb, 0xf8, 0xf5, 0xf4,
                        0xf3, 0xf0});
}

Codes imageFormatCodes()
{
    // Quality, image type, size: raw, raw 2, small/medium/large normal and fine,
    // then the raw + JPEG pairs these bodies do not have.
    return {{0x04, 0x02, 0x00}, {0x03, 0x02, 0x00}, {0x02, 0x01, 0x02}, {0x03, 0x01, 0x02}, {0x02, 0x01, 0x01},
            {0x03, 0x01, 0x01}, {0x02, 0x01, 0x00}, {0x03, 0x01, 0x00}, {0x24, 0x12, 0x20}, {0x34, 0x12, 0x20},
            {0x24, 0x12, 0x10}, {0x34, 0x12, 0x10}, {0x24, 0x12, 0x00}, {0x34, 0x12, 0x00}};
}

Codes shootingModeCodes()
{
    Codes codes = singleBytes({0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    for (int code = 0x65; code <= 0x80; ++code)
        codes.push_back({static_cast<uint8_t>(code)});
    return codes;
}

// Where a table of n codes expects n choices, or n + 1 with "Unknown" last.
bool choicesFit(const std::vector<std::string> &choices, const ReleaseField &field)
{
    return choices.size() == field.codes.size() || choices.size() == field.codes.size() + 1;
}

} // namespace

const std::vector<ReleaseField> &releaseFields()
{
    static const std::vector<ReleaseField> fields = {
        {"imageformat", PS_FIELD_SIZE_QUALITY, {1, 2, 3}, imageFormatCodes(), true},
        {"beep", PS_FIELD_BEEP, {7}, singleBytes({0x00, 0x01}), true},
        {"shootingmode", PS_FIELD_EXPOSURE_MODE, {8}, shootingModeCodes(), false},
        {"focusmode", PS_FIELD_AF_MODE, {18}, singleBytes({0, 1, 2, 3}), true},
        {"iso", PS_FIELD_ISO, {26}, isoCodes(), true},
        {"aperture", PS_FIELD_AV, {28}, apertureCodes(), true},
        {"shutterspeed", PS_FIELD_TV, {30}, shutterCodes(), true},
        {"exposurecompensation", PS_FIELD_EXPOSURE_COMPENSATION, {32}, compensationCodes(), true},
    };
    return fields;
}

uint32_t ReleaseFields::reachable(const GphotoCamera::Config &config)
{
    uint32_t bits = 0;
    for (const ReleaseField &field : releaseFields())
        if (const auto choices = config.choices(field.widget); choices && choicesFit(*choices, field))
            bits |= field.field;
    return bits;
}

ReleaseBlock ReleaseFields::read(const GphotoCamera::Config &config, const ReleaseBlock &unreachable)
{
    ReleaseBlock block = unreachable;
    for (const ReleaseField &field : releaseFields()) {
        const auto choices = config.choices(field.widget);
        if (!choices || !choicesFit(*choices, field))
            continue;
        const auto index = config.chosen(field.widget);
        const bool known = index && *index >= 0 && static_cast<size_t>(*index) < field.codes.size();
        for (size_t i = 0; i < field.offsets.size(); ++i)
            block[field.offsets[i]] = known ? field.codes[*index][i] : PS_FIELD_VALUE_UNKNOWN;
        // Words: the driver keeps only the low byte.
        if (field.field == PS_FIELD_ISO || field.field == PS_FIELD_AV || field.field == PS_FIELD_TV)
            block[field.offsets[0] + 1] = known ? 0 : PS_FIELD_VALUE_UNKNOWN;
    }
    return block;
}

int ReleaseFields::write(GphotoCamera::Config &config, const ReleaseBlock &current, const ReleaseBlock &wanted)
{
    int changed = 0;
    for (const ReleaseField &field : releaseFields()) {
        if (!field.writable)
            continue;
        std::vector<uint8_t> value;
        bool differs = false;
        for (size_t offset : field.offsets) {
            value.push_back(wanted[offset]);
            differs = differs || wanted[offset] != current[offset];
        }
        const bool word = field.field == PS_FIELD_ISO || field.field == PS_FIELD_AV || field.field == PS_FIELD_TV;
        if (word) {
            differs = differs || wanted[field.offsets[0] + 1] != current[field.offsets[0] + 1];
            // A code above 0xFF (Auto) has no choice.
            if (wanted[field.offsets[0] + 1] != 0)
                continue;
        }
        if (!differs)
            continue;
        const auto at = std::find(field.codes.begin(), field.codes.end(), value);
        if (at == field.codes.end())
            continue;
        const auto choices = config.choices(field.widget);
        if (!choices || !choicesFit(*choices, field))
            continue;
        if (config.choose(field.widget, static_cast<int>(at - field.codes.begin())))
            ++changed;
    }
    return changed;
}

} // namespace usbcam
