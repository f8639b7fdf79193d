#include "support/file_link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvella {

SecondName add_second_name(const std::string& file, const std::string& name) {
    // No flag: the name is given to what `file` names, never to what a link
    // there would lead to.
    if (::linkat(AT_FDCWD, file.c_str(), AT_FDCWD, name.c_str(), 0) == 0) return SecondName::added;
    if (errno != EEXIST) return SecondName::failed;
    struct stat existing {};
    struct stat named {};
    // lstat: a symbolic link at `name` is a file of its own, whatever it
    // points to.
    if (::lstat(file.c_str(), &existing) != 0 || ::lstat(name.c_str(), &named) != 0)
        return SecondName::failed;
    const bool same = existing.st_dev == named.st_dev && existing.st_ino == named.st_ino;
    return same ? SecondName::already_there : SecondName::taken;
}

}  // namespace orvella
