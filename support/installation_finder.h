// Where Orvella is installed. Every question is answered by probing fixed
// bundle paths under /Applications, newest major version first; nothing is
// cached, so an installation added or removed while the host runs is seen by
// the next call. Stateless, callable from any thread.
#pragma once

#include <string>

namespace orvella {

class InstallationFinder {
public:
    // Full path of the executable to launch: the newest version in
    // [lowest, highest] whose bundle's executable directory exists, the
    // normal build winning over "_floating" at equal version. Empty when none.
    std::string orvella_executable_path(int lowest, int highest) const;

    // Executable directory (ending in "/") that holds the live-link library.
    // Normal builds are probed in [lowest, highest]; then the newest
    // "_floating" build from 20 down to 5 replaces it when strictly newer than
    // `version` (on entry the version to beat). `version` receives the chosen
    // directory's version and is unchanged when nothing is chosen.
    std::string orvella_install_directory(int lowest, int highest, int& version) const;

    // The installed major version in [lowest, highest], any normal build
    // winning over every "_floating" build; -1 when none.
    int orvella_installed_version(int lowest, int highest) const;

    // "/Library/Application Support/Orvella<version>/" for the version of
    // orvella_installed_version(5, 20); never empty ("...Orvella-1/" when
    // nothing is installed).
    std::string orvella_support_directory() const;
};

// The one process-wide finder.
const InstallationFinder& installation_finder();

}  // namespace orvella
