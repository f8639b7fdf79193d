// A file this process created, deleted when its owner goes, on every path,
// unless the owner lets it go first.
#pragma once

#include <string>

namespace orvella {

class FileOwner {
public:
    // Owns the file at `path` when `owned`; otherwise only knows its path.
    explicit FileOwner(std::string path, bool owned = true) noexcept;
    FileOwner(FileOwner&& other) noexcept;
    FileOwner& operator=(FileOwner&&) = delete;
    FileOwner(const FileOwner&) = delete;
    FileOwner& operator=(const FileOwner&) = delete;
    ~FileOwner();

    const std::string& path() const { return path_; }

    // The file is ours to delete from now on.
    void own() noexcept { owned_ = true; }
    // Someone else (or nobody) deletes the file; the path stays readable.
    void keep() noexcept { owned_ = false; }

private:
    std::string path_;
    bool owned_;
};

}  // namespace orvella
