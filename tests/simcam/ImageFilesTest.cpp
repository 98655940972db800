// The camera's files: real JPEGs, THM thumbnails and CRW raw files whose
// metadata exiftool, as an independent reader, decodes to the camera's settings.
#include "SimTestSupport.h"

#include "ExposureTables.h"
#include "FixtureSet.h"
#include "ShotImages.h"

#include <chrono>
#include <cmath>
#include <csetjmp>
#include <fstream>

#include <jpeglib.h>

namespace simcam {
// Test names show the variant, not the bytes.
void PrintTo(const Fixture &fixture, std::ostream *out)
{
    *out << fixture.directory << " (" << fixture.settings << ")";
}
} // namespace simcam

namespace simcam::test {
namespace {

struct JpegSize {
    int width = 0;
    int height = 0;
};

// Decodes the whole JPEG with libjpeg; a failure gives 0 x 0.
JpegSize decodeJpeg(const std::vector<uint8_t> &data)
{
    struct Errors {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
    } errors;
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<Errors *>(c->err)->jump, 1); };
    JpegSize size;
    std::vector<uint8_t> row;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&info, TRUE);
        jpeg_start_decompress(&info);
        row.resize(static_cast<size_t>(info.output_width) * info.output_components);
        while (info.output_scanline < info.output_height) {
            JSAMPROW pointer = row.data();
            jpeg_read_scanlines(&info, &pointer, 1);
        }
        jpeg_finish_decompress(&info);
        size = {static_cast<int>(info.output_width), static_cast<int>(info.output_height)};
    }
    jpeg_destroy_decompress(&info);
    return size;
}

std::vector<uint8_t> readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint16_t le16(const std::vector<uint8_t> &d, size_t o) { return static_cast<uint16_t>(d[o] | (d[o + 1] << 8)); }
uint32_t le32(const std::vector<uint8_t> &d, size_t o) { return le16(d, o) | (static_cast<uint32_t>(le16(d, o + 2)) << 16); }

// The EXIF UserComment entry of a JPEG: (count, all bytes zero).
std::pair<uint32_t, bool> userComment(const std::vector<uint8_t> &jpeg)
{
    // SOI, then APP1 "Exif" first.
    if (jpeg.size() < 20 || jpeg[2] != 0xFF || jpeg[3] != 0xE1 || std::string(jpeg.begin() + 6, jpeg.begin() + 10) != "Exif")
        return {0, false};
    const size_t tiff = 12;
    std::vector<uint8_t> t(jpeg.begin() + tiff, jpeg.end());
    auto find = [&](uint32_t ifd, uint16_t tag, uint32_t &count, uint32_t &value) {
        const uint16_t n = le16(t, ifd);
        for (uint16_t i = 0; i < n; ++i) {
            const size_t e = ifd + 2 + 12u * i;
            if (le16(t, e) == tag) {
                count = le32(t, e + 4);
                value = le32(t, e + 8);
                return true;
            }
        }
        return false;
    };
    uint32_t count = 0, exifIfd = 0, offset = 0;
    if (std::string(t.begin(), t.begin() + 2) != "II" || !find(le32(t, 4), 0x8769, count, exifIfd) ||
        !find(exifIfd, 0x9286, count, offset))
        return {0, false};
    bool zero = true;
    for (uint32_t i = 0; i < count; ++i)
        zero = zero && t[offset + i] == 0;
    return {count, zero};
}

double number(const std::map<std::string, std::string> &tags, const std::string &key)
{
    const auto it = tags.find(key);
    return it == tags.end() ? std::nan("") : std::strtod(it->second.c_str(), nullptr);
}

void expectNear(const std::map<std::string, std::string> &tags, const std::string &key, double expected,
                double relative, const std::string &file)
{
    EXPECT_NEAR(number(tags, key), expected, std::fabs(expected) * relative + 1e-9) << key << " in " << file;
}

// The camera's settings as exiftool must decode them from the maker note.
void expectMakerNote(const std::map<std::string, std::string> &tags, const ShotPlan &shot, const std::string &file,
                     const std::string &ownerKey = "Canon:OwnerName")
{
    const CameraState &s = shot.state;
    auto is = [&](const std::string &key, long expected) {
        EXPECT_EQ(tags.count(key), 1u) << key << " missing in " << file;
        EXPECT_EQ(std::lround(number(tags, key)), expected) << key << " in " << file;
    };
    is("Canon:Quality", s.quality);
    is("Canon:CanonFlashMode", s.flash == FlashOff ? 0 : 2);
    is("Canon:ContinuousDrive", s.drive == 1 ? 1 : 0);
    is("Canon:SelfTimer", s.drive == 2 ? 100 : 0);   // tenths of a second
    is("Canon:FocusMode", s.afMode);
    is("Canon:MeteringMode", s.metering);
    is("Canon:WhiteBalance", s.whiteBalance);
    is("Canon:CanonExposureMode", s.exposureMode);
    is("Canon:MinFocalLength", s.focalShort);
    is("Canon:MaxFocalLength", s.focalLong);
    is("Canon:AFPoint", s.afPoint);
    is("Canon:CameraISO", isoSpeed(s.iso, s.model.isD60));
    is("CanonCustom:MirrorLockup", s.customFunctions[3]);
    is("CanonCustom:ExposureLevelIncrements", s.customFunctions[4]);
    is("CanonCustom:LongExposureNoiseReduction", s.customFunctions[1]);
    is("CanonCustom:Shutter-AELock", s.customFunctions[2]);
    expectNear(tags, "Canon:FlashExposureComp", compensationEv(s.flashCompensation).value(), 0.01, file);
    expectNear(tags, "Canon:ExposureCompensation", compensationEv(s.exposureCompensation).value(), 0.01, file);
    EXPECT_EQ(tags.count(ownerKey) ? tags.at(ownerKey) : "", shot.owner) << file;
}

class SimImageFiles : public ::testing::TestWithParam<Fixture> {};

TEST_P(SimImageFiles, ExiftoolDecodesTheSettingsFromEveryFile)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const Fixture &fixture = GetParam();
    const ShotPlan &shot = fixture.shot;
    const CameraState &s = shot.state;
    const auto folder = testFolder();
    const ShotImages images = makeShotImages(shot);

    const auto thumbnailPath = folder / shot.thumbnailFileName();
    const auto fullPath = folder / shot.fileName();
    std::ofstream(thumbnailPath, std::ios::binary).write(reinterpret_cast<const char *>(images.thumbnail.data()),
                                                         static_cast<std::streamsize>(images.thumbnail.size()));
    std::ofstream(fullPath, std::ios::binary).write(reinterpret_cast<const char *>(images.fullView.data()),
                                                    static_cast<std::streamsize>(images.fullView.size()));

    std::vector<std::pair<std::filesystem::path, const std::vector<uint8_t> *>> jpegs = {{thumbnailPath, &images.thumbnail}};
    if (!shot.isRaw())
        jpegs.emplace_back(fullPath, &images.fullView);
    for (const auto &[path, data] : jpegs) {
        const std::string file = path.filename().string();
        const bool thumbnail = data == &images.thumbnail;
        const ImageSize expected = thumbnail ? ImageSize{160, 120} : s.model.sizeFor(s.imageSize);
        const JpegSize decoded = decodeJpeg(*data);
        EXPECT_EQ(decoded.width, expected.width) << file;
        EXPECT_EQ(decoded.height, expected.height) << file;
        const auto [commentSize, commentEmpty] = userComment(*data);
        EXPECT_EQ(commentSize, 264u) << file;
        EXPECT_TRUE(commentEmpty) << file;

        const auto tags = exiftool(path, true);
        EXPECT_EQ(tags.count("ExifTool:Warning"), 0u) << file << ": " << tags.count("ExifTool:Warning");
        EXPECT_EQ(tags.at("File:ExifByteOrder"), "II") << file;
        EXPECT_EQ(tags.at("IFD0:Make"), "Canon") << file;
        EXPECT_EQ(tags.at("IFD0:Model"), s.model.exifModel()) << file;
        EXPECT_EQ(tags.at("IFD0:Orientation"), "1") << file;
        EXPECT_EQ(tags.at("IFD0:ModifyDate"), shot.dateTime()) << file;
        expectNear(tags, "ExifIFD:ExposureTime", exposureTime(s.tv).value(), 1e-6, file);
        expectNear(tags, "ExifIFD:FNumber", fNumber(s.av).value(), 1e-6, file);
        expectNear(tags, "ExifIFD:ExposureCompensation", compensationEv(s.exposureCompensation).value(), 1e-3, file);
        expectNear(tags, "ExifIFD:ISO", isoSpeed(s.iso, s.model.isD60), 0, file);
        expectNear(tags, "ExifIFD:FocalLength", s.focalLength, 1e-6, file);
        expectNear(tags, "ExifIFD:SubjectDistance", s.subjectDistanceCm / 100.0, 1e-6, file);
        EXPECT_EQ(tags.at("ExifIFD:Flash"), s.flash == FlashOff ? "0" : "1") << file;
        expectNear(tags, "ExifIFD:ExifImageWidth", expected.width, 0, file);
        expectNear(tags, "ExifIFD:ExifImageHeight", expected.height, 0, file);
        expectNear(tags, "Canon:CanonImageSize", shot.isRaw() ? 0 : s.imageSize, 0, file);
        EXPECT_EQ(tags.at("Canon:CanonFirmwareVersion"), "Firmware Version " + s.model.firmware) << file;
        expectNear(tags, "Canon:SerialNumber", s.model.serialNumber, 0, file);
        expectMakerNote(tags, shot, file);
    }

    if (shot.isRaw()) {
        const std::string file = fullPath.filename().string();
        const auto tags = exiftool(fullPath, true);
        EXPECT_EQ(tags.count("ExifTool:Warning"), 0u) << file;
        EXPECT_EQ(tags.at("File:FileType"), "CRW");
        EXPECT_EQ(tags.at("CanonRaw:Make"), "Canon");
        EXPECT_EQ(tags.at("CanonRaw:Model"), s.model.exifModel());
        expectNear(tags, "CanonRaw:ImageWidth", s.model.large.width, 0, file);
        expectNear(tags, "CanonRaw:ImageHeight", s.model.large.height, 0, file);
        EXPECT_EQ(tags.count("CanonRaw:UserComment"), 1u);
        EXPECT_EQ(tags.count("CanonRaw:JpgFromRaw"), 1u);
        EXPECT_EQ(tags.count("CanonRaw:RawData"), 1u);
        // The maker note's exposure is in 1/32 EV steps: 1/160 reads as about 1/161.
        expectNear(tags, "Canon:ExposureTime", exposureTime(s.tv).value(), 0.03, file);
        expectNear(tags, "Canon:FNumber", fNumber(s.av).value(), 0.03, file);
        expectMakerNote(tags, shot, file, "CanonRaw:OwnerName");
    }
}

std::string fixtureName(const ::testing::TestParamInfo<Fixture> &info)
{
    return info.param.directory;
}

INSTANTIATE_TEST_SUITE_P(Variants, SimImageFiles, ::testing::ValuesIn(fixtureVariants()), fixtureName);

TEST(SimImageGeneration, SameShotGivesTheSameBytes)
{
    const Fixture fixture = fixtureVariants().at(1);   // raw
    const ShotImages first = makeShotImages(fixture.shot);
    const ShotImages second = makeShotImages(fixture.shot);
    EXPECT_EQ(first.thumbnail, second.thumbnail);
    EXPECT_EQ(first.fullView, second.fullView);
    ShotPlan other = fixture.shot;
    other.fileNumber += 1;
    EXPECT_NE(makeThumbnail(other), first.thumbnail);
}

TEST(SimImageGeneration, CrwRootHoldsTheEmbeddedJpegWhereReadersLook)
{
    const ShotImages images = makeShotImages(fixtureVariants().at(5).shot);   // D30 raw
    const std::vector<uint8_t> &crw = images.fullView;
    const uint32_t header = le32(crw, 2);
    const uint32_t table = header + le32(crw, crw.size() - 4);
    const uint16_t count = le16(crw, table);
    bool found = false;
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = table + 2 + 10u * i;
        if (le16(crw, entry) != 0x2007)
            continue;
        const std::vector<uint8_t> jpeg(crw.begin() + header + le32(crw, entry + 6),
                                        crw.begin() + header + le32(crw, entry + 6) + le32(crw, entry + 2));
        const JpegSize size = decodeJpeg(jpeg);
        EXPECT_EQ(size.width, 2160);
        EXPECT_EQ(size.height, 1440);
        found = true;
    }
    EXPECT_TRUE(found);
    EXPECT_GT(crw.size(), 3000000u);   // a raw file of realistic size
}

TEST(SimImageGeneration, FixtureSetIsWrittenWithAManifest)
{
    const auto folder = testFolder() / "fixtures";
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(writeFixtureSet(folder.string(), &written, &error)) << error;
    EXPECT_EQ(written.size(), fixtureVariants().size() * 2);
    std::ifstream manifest(folder / "manifest.txt");
    std::string text((std::istreambuf_iterator<char>(manifest)), {});
    for (const std::string &path : written) {
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_NE(text.find(std::filesystem::path(path).filename().string()), std::string::npos);
    }
    // Written twice, the set is the same.
    const auto again = testFolder() / "again";
    ASSERT_TRUE(writeFixtureSet(again.string(), nullptr, &error));
    for (const std::string &path : written) {
        const auto relative = std::filesystem::relative(path, folder);
        EXPECT_EQ(readFile(path), readFile(again / relative)) << relative;
    }
}

TEST(SimImageGeneration, LargeD60JpegMeasurement)
{
    ShotPlan shot;
    shot.state = SimConfig::forModel("EOS D60").state;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<uint8_t> jpeg = makeJpeg(shot);
    const auto elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
    RecordProperty("milliseconds", static_cast<int>(elapsed.count()));
    std::printf("D60 Large/Fine JPEG: %zu bytes in %.0f ms\n", jpeg.size(), elapsed.count());
    EXPECT_EQ(decodeJpeg(jpeg).width, 3072);
}

} // namespace
} // namespace simcam::test
