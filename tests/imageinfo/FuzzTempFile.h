// A private folder per fuzzing process for the fuzz targets that work on files.
#ifndef QUILLOMAT_FUZZ_FUZZTEMPFILE_H
#define QUILLOMAT_FUZZ_FUZZTEMPFILE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

// Created on first use and removed when the process ends.
class FuzzTempDir {
public:
    FuzzTempDir()
    {
        const char *base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillomat-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~FuzzTempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    FuzzTempDir(const FuzzTempDir &) = delete;
    FuzzTempDir &operator=(const FuzzTempDir &) = delete;
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

inline const std::string &fuzzTempDir()
{
    static const FuzzTempDir dir;
    return dir.path();
}

inline std::string fuzzWriteFile(const std::string &name, const uint8_t *data, size_t size)
{
    const std::string path = fuzzTempDir() + "/" + name;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return path;
}

inline std::vector<uint8_t> fuzzReadFile(const std::string &path)
{
    std::vector<uint8_t> bytes;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

// Inputs larger than this are ignored: camera metadata is small.
constexpr size_t FUZZ_MAX_INPUT = 1 << 20;

#endif
