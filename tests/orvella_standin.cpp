#include "orvella_standin.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sandbox_files.h"

namespace fs = std::filesystem;

namespace orvella_test {

std::string standin_renderer_file() { return ORVELLA_STANDIN_RENDERER; }

std::string standin_library_file(LiveLibrary library, int version) {
    switch (library) {
        case LiveLibrary::standin: return version > 5 ? ORVELLA_STANDIN_LIVE6 : ORVELLA_STANDIN_LIVE5;
        case LiveLibrary::without_initialize: return ORVELLA_STANDIN_LIVE_NOINIT;
        case LiveLibrary::abi_check: return ORVELLA_ABI_CHECK_LIBRARY;
        case LiveLibrary::none: break;
    }
    return "";
}

void install_file(const std::string& from, const std::string& to, mode_t mode) {
    write_file(to, read_file(from));
    ASSERT_EQ(0, ::chmod(to.c_str(), mode)) << to;
}

std::string install_standin(int version, bool floating, LiveLibrary library) {
    const std::string directory = install_bundle(version, floating);
    const std::string executable = directory + (floating ? "orvella_floating" : "orvella");
    install_file(standin_renderer_file(), executable);
    if (library != LiveLibrary::none)
        install_file(standin_library_file(library, version),
                     directory + (version > 5 ? "qororvellalive6.so" : "qororvellalive.so"));
    return executable;
}

std::string channel_directory() { return "/tmp/orvella-standin"; }

std::vector<pid_t> started_renderers() {
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(channel_directory(), error))
        if (entry.path().extension() == ".cmdline")
            pids.push_back(static_cast<pid_t>(std::stol(entry.path().stem().string())));
    return pids;
}

std::vector<std::string> recorded_command_line(pid_t pid) {
    const std::string text =
        read_file(channel_directory() + "/" + std::to_string(pid) + ".cmdline");
    std::vector<std::string> arguments;
    std::string::size_type begin = 0, end;
    while ((end = text.find('\0', begin)) != std::string::npos) {
        arguments.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return arguments;
}

std::vector<int> recorded_descriptors(pid_t pid) {
    std::istringstream lines(read_file(channel_directory() + "/" + std::to_string(pid) + ".fds"));
    std::vector<int> descriptors;
    for (int fd; lines >> fd;) descriptors.push_back(fd);
    std::sort(descriptors.begin(), descriptors.end());
    return descriptors;
}

SignalState recorded_signals(pid_t pid) {
    const std::string text =
        read_file(channel_directory() + "/" + std::to_string(pid) + ".signals");
    unsigned long long reserved = 0;
    for (int signal = 32; signal < SIGRTMIN; ++signal) reserved |= 1ull << (signal - 1);
    auto field = [&](const char* key) {
        const std::string::size_type at = text.find(key);
        if (at == std::string::npos) return ~0ull;
        return std::stoull(text.substr(at + std::strlen(key)), nullptr, 16) & ~reserved;
    };
    return {field("SigBlk:"), field("SigIgn:")};
}

bool scene_published(pid_t pid) {
    return exists(channel_directory() + "/" + std::to_string(pid) + ".xml");
}

std::vector<pid_t> attached_processes() {
    std::istringstream lines(read_file(channel_directory() + "/attached"));
    std::vector<pid_t> pids;
    for (long pid; lines >> pid;) pids.push_back(static_cast<pid_t>(pid));
    return pids;
}

bool interleaving_recorded() { return exists(channel_directory() + "/interleaved"); }

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace orvella_test
