#pragma once
// Writing outputs so that a failure never leaves a half-written file or loses
// the old one: each file is written to a temporary file in its own folder,
// closed with its errors checked, and only then renamed over the target.
// File names are taken as given, byte for byte.

#include <string>
#include <vector>

namespace qm {

struct OutputFile {
    std::string path;
    std::string bytes;
};

// Writes every file or none: all temporaries are written and closed first, then
// renamed in order; if any step fails, the temporaries and the files this call
// already renamed are removed. A target that exists and is not a regular file
// (a device, a folder) is refused; a symbolic link is followed to its file.
// Returns an empty string on success, else one line naming the file and the reason.
std::string WriteFilesAtomically(const std::vector<OutputFile>& files);

// Reading outside files: only regular files (a device, pipe or folder never
// holds the reader), never more than maxBytes (a larger file is refused after
// at most maxBytes + 1 bytes read).
enum class FileRead { Ok, NotRegular, TooLarge, Failed };
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

// True when both names denote the same file, existing or not (the same
// folder and name after resolving links and ".." parts).
bool SameFile(const std::string& a, const std::string& b);

} // namespace qm
