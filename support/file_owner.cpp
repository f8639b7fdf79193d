#include "support/file_owner.h"

#include <cstdio>
#include <utility>

namespace orvella {

FileOwner::FileOwner(std::string path, bool owned) noexcept
    : path_(std::move(path)), owned_(owned) {}

FileOwner::FileOwner(FileOwner&& other) noexcept
    : path_(std::move(other.path_)), owned_(other.owned_) {
    other.owned_ = false;
}

FileOwner::~FileOwner() {
    if (owned_) std::remove(path_.c_str());
}

}  // namespace orvella
