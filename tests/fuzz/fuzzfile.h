#pragma once
// A scratch file for one fuzzing process: each input is written to it and read
// back through the real file reader.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace qmfuzz {

inline const std::string& scratchFolder()
{
    static const std::string folder = [] {
        const char* shm = "/dev/shm";
        const std::string base = access(shm, W_OK) == 0 ? shm : "/tmp";
        std::string dir = base + "/quillmere-fuzz-" + std::to_string(getpid());
        std::string cmd = "mkdir -p '" + dir + "'";
        if (std::system(cmd.c_str()) != 0)
            std::abort();
        return dir;
    }();
    return folder;
}

inline std::string writeScratch(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = scratchFolder() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    if (std::fclose(f) != 0)
        std::abort();
    return path;
}

} // namespace qmfuzz
