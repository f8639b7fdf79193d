// Prints what installation discovery reports on this machine, the way the
// plug-in's hand-off, live-link loader and settings store ask for it.
#include <cstdio>

#include "support/installation_finder.h"

int main() {
    const orvella::InstallationFinder& finder = orvella::installation_finder();
    int version = -1;
    const std::string directory = finder.orvella_install_directory(8, 9, version);
    std::printf("executable to launch (8..20):      %s\n",
                finder.orvella_executable_path(8, 20).c_str());
    std::printf("live-link directory (8..9):        %s (version %d)\n", directory.c_str(), version);
    std::printf("installed version (5..20):         %d\n", finder.orvella_installed_version(5, 20));
    std::printf("support directory:                 %s\n",
                finder.orvella_support_directory().c_str());
    return 0;
}
