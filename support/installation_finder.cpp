#include "support/installation_finder.h"

#include <cstdio>
#include <type_traits>

#include "support/path_tests.h"

namespace orvella {
namespace {

// The versions probed whatever range the caller names: the floating build's
// in orvella_install_directory, both builds' for the support directory.
constexpr int kAnyVersionHighest = 20;
constexpr int kAnyVersionLowest = 5;

enum class Build { normal, floating };

std::string bundle_directory(Build build, int version) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer,
                  build == Build::normal ? "/Applications/Orvella%d.app/Contents/MacOS/"
                                         : "/Applications/Orvella%d_floating.app/Contents/MacOS/",
                  version);
    return buffer;
}

}  // namespace

std::string InstallationFinder::orvella_executable_path(int lowest, int highest) const {
    for (int v = highest; v >= lowest; --v) {
        std::string directory = bundle_directory(Build::normal, v);
        if (path_exists(directory)) return directory + "orvella";
        directory = bundle_directory(Build::floating, v);
        if (path_exists(directory)) return directory + "orvella_floating";
    }
    return {};
}

std::string InstallationFinder::orvella_install_directory(int lowest, int highest,
                                                          int& version) const {
    std::string result;
    for (int v = highest; v >= lowest; --v) {
        std::string directory = bundle_directory(Build::normal, v);
        if (is_directory(directory)) {
            version = v;
            result = std::move(directory);
            break;
        }
    }
    for (int v = kAnyVersionHighest; v >= kAnyVersionLowest; --v) {
        std::string directory = bundle_directory(Build::floating, v);
        if (!is_directory(directory)) continue;
        if (v > version) {
            version = v;
            result = std::move(directory);
            break;
        }
    }
    return result;
}

int InstallationFinder::orvella_installed_version(int lowest, int highest) const {
    for (int v = highest; v >= lowest; --v)
        if (is_directory(bundle_directory(Build::normal, v))) return v;
    for (int v = highest; v >= lowest; --v)
        if (is_directory(bundle_directory(Build::floating, v))) return v;
    return -1;
}

std::string InstallationFinder::orvella_support_directory() const {
    const int version = orvella_installed_version(kAnyVersionLowest, kAnyVersionHighest);
    return "/Library/Application Support/Orvella" + std::to_string(version) + "/";
}

const InstallationFinder& installation_finder() {
    // Hand-off threads use it while the host may be quitting: it must have
    // nothing for an exit handler to destroy.
    static_assert(std::is_trivially_destructible<InstallationFinder>::value,
                  "the finder must outlive the exit handlers");
    static const InstallationFinder finder;
    return finder;
}

}  // namespace orvella
