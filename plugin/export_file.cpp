#include "plugin/export_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvella {

namespace {

constexpr int kLastNumber = 1000;

// created: the file is ours. taken: something holds the name. free: the
// name is unheld, but the folder takes no new file. failed: whether the name
// is held is not known.
enum class Claim { created, taken, free, failed };

// O_EXCL creates the file only if no file, directory or link of that name
// exists, and opens nothing that does; deciding and creating are one step,
// so nobody else can take the name in between.
Claim create_exclusively(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        ::close(fd);
        return Claim::created;
    }
    if (errno == EEXIST) return Claim::taken;
    // Some failures (EMFILE, ENFILE, ENOMEM) come before the name is looked
    // at: the name may well be the user's file. Only a name that leads to
    // nothing at all is free.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) return Claim::taken;
    return errno == ENOENT ? Claim::free : Claim::failed;
}

}  // namespace

std::string export_file_stem(const std::string& garment_name) {
    std::string stem = garment_name;
    for (char& c : stem) {
        if (c == '/') c = '_';
    }
    return stem;
}

std::string export_path(const std::string& directory, const std::string& garment_name) {
    std::string path = directory;
    if (path.empty() || path.back() != '/') path += '/';
    return path + export_file_stem(garment_name) + ".fbx";
}

ExportFile ExportFile::reserve(const std::string& directory, const std::string& garment_name) {
    const std::string path = export_path(directory, garment_name);
    switch (create_exclusively(path)) {
        case Claim::created: return ExportFile(path, true);
        case Claim::free: return ExportFile(path, false);
        case Claim::failed: return ExportFile("", false);
        case Claim::taken: break;
    }
    const std::string base = path.substr(0, path.size() - 4);  // without ".fbx"
    for (int number = 2; number <= kLastNumber; ++number) {
        const std::string candidate = base + " " + std::to_string(number) + ".fbx";
        switch (create_exclusively(candidate)) {
            case Claim::created: return ExportFile(candidate, true);
            // Unreserved, the export could not be told from a file that
            // appeared under this name meanwhile, nor (failed) from the
            // user's own.
            case Claim::free:
            case Claim::failed: return ExportFile("", false);
            case Claim::taken: break;
        }
    }
    return ExportFile("", false);
}

}  // namespace orvella
