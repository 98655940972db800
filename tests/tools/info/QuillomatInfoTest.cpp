#include "ExifBuilder.h"
#include "ExiftoolCheck.h"
#include "TestSupport.h"

#include "ImageInfo.h"
#include "ImageInfoFields.h"
#include "InfoText.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct RunResult {
    int status;
    std::string out;
};

RunResult runInfo(const std::string &arguments)
{
    const std::string command = std::string(QUILLOMAT_INFO_EXE) + " " + arguments + " 2>/dev/null; echo \"exit:$?\"";
    std::string out = runCommand(command);
    const size_t mark = out.rfind("exit:");
    const int status = std::stoi(out.substr(mark + 5));
    out.erase(mark);
    return {status, out};
}

std::string withoutCr(std::string text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

// The "name: value" lines after the texts.
exiftoolcheck::Fields parseFields(const std::string &out)
{
    exiftoolcheck::Fields fields;
    const size_t start = out.find("\ndataLength: ");
    size_t pos = start == std::string::npos ? out.size() : start + 1;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos)
            end = out.size();
        const std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        const size_t colon = line.find(": ");
        if (colon == std::string::npos)
            continue;
        std::string value;
        const std::string raw = line.substr(colon + 2);
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                const char c = raw[++i];
                value += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
            } else {
                value += raw[i];
            }
        }
        fields[line.substr(0, colon)] = value;
    }
    return fields;
}

TEST(QuillomatInfoTest, PrintsBothTextsWithUnixNewlines)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.userComment = TestShot::defaultUserComment("two\nlines");
    writeFile(path, buildShotJpeg(shot));
    ImageInfo info(path);
    const RunResult run = runInfo(shellQuote(path));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, withoutCr(shotInfoText(info)) + "\n\n" + withoutCr(cameraInfoText(info)) + "\n");
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
}

TEST(QuillomatInfoTest, FieldsListEveryRecordField)
{
    TempDir dir;
    const std::string path = dir.file("IMG_0001.JPG");
    TestShot shot;
    shot.userComment = TestShot::defaultUserComment("a\\b\nc");
    writeFile(path, buildShotJpeg(shot));
    const RunResult run = runInfo("--fields " + shellQuote(path));
    EXPECT_EQ(run.status, 0);
    const exiftoolcheck::Fields printed = parseFields(run.out);
    const auto expected = imageInfoFields(ImageInfo(path));
    ASSERT_EQ(printed.size(), expected.size());
    for (const auto &[name, value] : expected)
        EXPECT_EQ(printed.at(name), value) << name;
}

TEST(QuillomatInfoTest, BadArgumentsAndMissingFilesFailClearly)
{
    EXPECT_EQ(runInfo("").status, 2);
    EXPECT_EQ(runInfo("--bogus x.jpg").status, 2);
    EXPECT_EQ(runInfo("--help").status, 0);
    TempDir dir;
    EXPECT_EQ(runInfo(shellQuote(dir.file("missing.jpg"))).status, 1);
    writeFile(dir.file("notes.txt"), {'h', 'i'});
    EXPECT_EQ(runInfo(shellQuote(dir.file("notes.txt"))).status, 1);

    // One good file among bad ones is still printed.
    writeFile(dir.file("IMG_0002.JPG"), buildShotJpeg(TestShot()));
    const RunResult mixed = runInfo(shellQuote(dir.file("missing.jpg")) + " " + shellQuote(dir.file("IMG_0002.JPG")));
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.out.find("Camera Model: Canon EOS D60"), std::string::npos);
}

TEST(QuillomatInfoTest, FilesWithoutShootingInformationAreNamedAndFail)
{
    TempDir dir;
    // EXIF with a maker and a model but no exposure, as a scanner writes it.
    ExifBuilder scan(true);
    const int ifd0 = scan.addDirectory();
    scan.ascii(ifd0, 0x010F, "Vantorel Scanners");
    scan.ascii(ifd0, 0x0110, "Flatbed 1");
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"plain.jpg", {0xFF, 0xD8, 0xFF, 0xD9}},  // a JPEG without EXIF
        {"scan.jpg", scan.jpeg()},
        {"notes.jpg", {'h', 'i', '\n'}},
        {"CRW_0001.CRW", CiffBuilder().build()},  // its THM is missing
    };
    for (const Case &c : cases) {
        const std::string path = dir.file(c.name);
        writeFile(path, c.bytes);
        const std::string command = std::string(QUILLOMAT_INFO_EXE) + " " + shellQuote(path) + " 2>&1; echo \"exit:$?\"";
        EXPECT_EQ(runCommand(command), "No shooting information in " + path + "\nexit:1\n") << c.name;
    }
    // Among camera files, only the empty one is left out.
    writeFile(dir.file("IMG_0001.JPG"), buildShotJpeg(TestShot()));
    const RunResult mixed = runInfo(shellQuote(dir.file("plain.jpg")) + " " + shellQuote(dir.file("IMG_0001.JPG")));
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out.rfind("== " + dir.file("IMG_0001.JPG") + "\nExposure: 1/125 sec, f/5.6\n", 0), 0u) << mixed.out;
}

TEST(QuillomatInfoTest, AgreesWithExiftoolOnEveryRealFile)
{
    if (!haveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const std::string dir = realFixturesDir();
    if (dir.empty() || !std::filesystem::is_directory(dir))
        GTEST_SKIP() << "no real fixtures";
    int checked = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".jpg")
            continue;
        const RunResult run = runInfo("--fields " + shellQuote(entry.path().string()));
        EXPECT_EQ(run.status, 0) << entry.path();
        exiftoolcheck::checkAgainstExiftool(entry.path().string(), parseFields(run.out));
        ++checked;
    }
    EXPECT_GE(checked, 6);
}

} // namespace
