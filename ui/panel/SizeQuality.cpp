// Size/Quality positions and the block bytes behind them.
#include "SettingsLists.h"

#include <array>

namespace {

constexpr uint8_t kNormal = 2;
constexpr uint8_t kFine = 3;
constexpr uint8_t kRaw = 4;
constexpr uint8_t kJpeg = 1;
constexpr uint8_t kRawType = 2;
constexpr uint8_t kLarge = 0;
constexpr uint8_t kMedium = 1;
constexpr uint8_t kSmall = 2;

// In list order: "Raw", "Large/Fine", "Large/Normal", ["Medium/Fine", "Medium/Normal",]
// "Small/Fine", "Small/Normal".
constexpr std::array<SizeQualityBytes, 5> kD30{{
    {kRaw, kRawType, kLarge},
    {kFine, kJpeg, kLarge},
    {kNormal, kJpeg, kLarge},
    {kFine, kJpeg, kSmall},
    {kNormal, kJpeg, kSmall},
}};
constexpr std::array<SizeQualityBytes, 7> kD60{{
    {kRaw, kRawType, kLarge},
    {kFine, kJpeg, kLarge},
    {kNormal, kJpeg, kLarge},
    {kFine, kJpeg, kMedium},
    {kNormal, kJpeg, kMedium},
    {kFine, kJpeg, kSmall},
    {kNormal, kJpeg, kSmall},
}};

}  // namespace

std::optional<SizeQualityBytes> sizeQualityBytes(CameraModelKind model, int position)
{
    if (position < 0)
        return std::nullopt;
    const auto index = static_cast<size_t>(position);
    if (model == CameraModelKind::D60)
        return index < kD60.size() ? std::optional(kD60[index]) : std::nullopt;
    return index < kD30.size() ? std::optional(kD30[index]) : std::nullopt;
}

int sizeQualityPosition(CameraModelKind model, uint8_t quality, uint8_t size)
{
    const bool fine = quality == kFine;
    if (size == kLarge) {
        if (quality == kNormal)
            return 2;
        return quality == kRaw ? 0 : 1;
    }
    if (model == CameraModelKind::D60) {
        if (size == kMedium)
            return fine ? 3 : 4;
        return fine ? 5 : 6;
    }
    return fine ? 3 : 4;
}
