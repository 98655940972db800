#include "FixtureSet.h"

#include "ShotImages.h"
#include "SimConfig.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace simcam {
namespace {

bool makeDirectory(const std::string &path, std::string *error)
{
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    if (error)
        *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &data, std::string *error)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(data.data(), 1, data.size(), file) == data.size();
    if (file && std::fclose(file) != 0)
        ok = false;
    if (!ok && error)
        *error = "cannot write " + path;
    return ok;
}

} // namespace

std::vector<Fixture> fixtureVariants()
{
    static const struct {
        const char *directory;
        const char *settings;
        uint32_t fileNumber;
    } kVariants[] = {
        {"EOS_D60_manual", "model=EOS D60", 1},
        {"EOS_D60_raw", "model=EOS D60;quality=raw;wb=daylight;metering=partial", 2},
        {"EOS_D60_av_small", "model=EOS D60;mode=Av;av=5.6;ev=+1/2;quality=small/normal;drive=continuous;"
                             "af=ai-servo;afpoint=left;flash=on;flashcomp=-1;iso=1000;wb=cloudy",
         3},
        {"EOS_D60_medium", "model=EOS D60;mode=Tv;tv=1/500;quality=medium/fine;metering=center;"
                           "increments=third;ev=-2/3;cfn=1:1,2:2",
         4},
        {"EOS_D30_manual", "model=EOS D30;owner=Ada Lovelace", 5},
        {"EOS_D30_raw", "model=EOS D30;quality=raw;increments=third;mirror=1;tv=1/160;av=6.3;iso=1600;"
                        "pset=1;af=manual;wb=tungsten",
         6},
        {"EOS_D30_small", "model=EOS D30;mode=P;quality=small/fine;drive=self-timer;flash=external;"
                          "af=ai-focus;ev=-1;lens=17-35;focal=24;aperture=2.8-22;av=2.8",
         7},
    };
    std::vector<Fixture> fixtures;
    for (const auto &variant : kVariants) {
        SimConfig config = SimConfig::forModel("EOS D60");
        config.apply(variant.settings);
        Fixture fixture;
        fixture.directory = variant.directory;
        fixture.settings = variant.settings;
        fixture.shot.state = config.state;
        fixture.shot.owner = config.owner;
        fixture.shot.fileNumber = variant.fileNumber;
        fixture.shot.unixTime = *parseCameraTime("2002:06:02 08:30:00") + variant.fileNumber * 60;
        fixtures.push_back(fixture);
    }
    return fixtures;
}

bool writeFixtureSet(const std::string &dir, std::vector<std::string> *written, std::string *error)
{
    if (!makeDirectory(dir, error))
        return false;
    std::string manifest = "# file\tsettings\n";
    for (const Fixture &fixture : fixtureVariants()) {
        const std::string folder = dir + "/" + fixture.directory;
        if (!makeDirectory(folder, error))
            return false;
        const ShotImages images = makeShotImages(fixture.shot);
        // A JPEG shot's thumbnail is written too, as a THM of JPEG settings.
        const std::vector<std::pair<std::string, const std::vector<uint8_t> *>> files = {
            {fixture.shot.fileName(), &images.fullView},
            {fixture.shot.thumbnailFileName(), &images.thumbnail},
        };
        for (const auto &[name, data] : files) {
            const std::string path = folder + "/" + name;
            if (data->empty() || !writeFile(path, *data, error))
                return false;
            if (written)
                written->push_back(path);
            manifest += fixture.directory + "/" + name + "\t" + fixture.settings + "\n";
        }
    }
    const std::string text = manifest;
    return writeFile(dir + "/manifest.txt", std::vector<uint8_t>(text.begin(), text.end()), error);
}

} // namespace simcam
