#include "engine/safefile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define QM_GETPID _getpid
#else
#include <unistd.h>
#define QM_GETPID getpid
#endif

namespace qm {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> g_serial{0};

// The file a name finally denotes: links followed, as far as they exist.
fs::path resolved(const std::string& name)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(name), ec);
    return ec ? fs::absolute(fs::path(name), ec) : p;
}

std::string reason(int err)
{
    return std::strerror(err);
}

// Writes bytes to a new file next to target; returns its name, or "" with why set.
std::string writeTemporary(const fs::path& target, const std::string& bytes, std::string& why)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path tmp = target;
        tmp += ".tmp-" + std::to_string(QM_GETPID()) + "-" + std::to_string(g_serial++);
        // "x": fail rather than reuse a file that is already there.
        std::FILE* f = std::fopen(tmp.string().c_str(), "wbx");
        if (!f) {
            if (errno == EEXIST)
                continue;
            why = reason(errno);
            return {};
        }
        const std::size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
        int err = written == bytes.size() ? 0 : errno;
        if (std::fflush(f) != 0 && err == 0)
            err = errno;
        if (std::fclose(f) != 0 && err == 0)
            err = errno;
        if (err != 0 || written != bytes.size()) {
            std::error_code ec;
            fs::remove(tmp, ec);
            why = reason(err != 0 ? err : EIO);
            return {};
        }
        return tmp.string();
    }
    why = "no free temporary name";
    return {};
}

} // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    bytes.clear();
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return FileRead::NotRegular;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return FileRead::Failed;
    char chunk[65536];
    bool failed = false;
    while (bytes.size() <= maxBytes) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        bytes.append(chunk, n);
        if (n < sizeof chunk) {
            failed = std::ferror(f) != 0;
            break;
        }
    }
    std::fclose(f);
    if (failed)
        return FileRead::Failed;
    return bytes.size() > maxBytes ? FileRead::TooLarge : FileRead::Ok;
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec))
        return fs::equivalent(a, b, ec);
    return resolved(a) == resolved(b);
}

std::string WriteFilesAtomically(const std::vector<OutputFile>& files)
{
    std::vector<fs::path> targets;
    std::vector<std::string> temporaries;
    auto removeTemporaries = [&] {
        std::error_code ec;
        for (const std::string& t : temporaries)
            fs::remove(t, ec);
    };
    for (const OutputFile& f : files) {
        const fs::path target = resolved(f.path);
        std::error_code ec;
        const fs::file_status st = fs::status(target, ec);
        if (fs::exists(st) && !fs::is_regular_file(st)) {
            removeTemporaries();
            return "cannot write " + f.path + ": it exists and is not a regular file";
        }
        std::string why;
        const std::string tmp = writeTemporary(target, f.bytes, why);
        if (tmp.empty()) {
            removeTemporaries();
            return "cannot write " + f.path + ": " + why;
        }
        targets.push_back(target);
        temporaries.push_back(tmp);
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        std::error_code ec;
        fs::rename(temporaries[i], targets[i], ec);
        if (ec) {
            const std::string message = "cannot write " + files[i].path + ": " + ec.message();
            std::error_code ignored;
            for (std::size_t j = 0; j < i; ++j)
                fs::remove(targets[j], ignored);
            for (std::size_t j = i; j < temporaries.size(); ++j)
                fs::remove(temporaries[j], ignored);
            return message;
        }
    }
    return {};
}

} // namespace qm
