#include "scene_channel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace orvella_standin {

std::string channel_directory() { return env_text("ORVELLA_STANDIN_DIR", "/tmp/orvella-standin"); }

std::string scene_path(long pid) { return channel_directory() + "/" + std::to_string(pid) + ".xml"; }

std::string command_line_path(long pid) {
    return channel_directory() + "/" + std::to_string(pid) + ".cmdline";
}

std::string descriptors_path(long pid) {
    return channel_directory() + "/" + std::to_string(pid) + ".fds";
}

std::string signals_path(long pid) {
    return channel_directory() + "/" + std::to_string(pid) + ".signals";
}

std::string attached_path() { return channel_directory() + "/attached"; }

std::string interleaved_path() { return channel_directory() + "/interleaved"; }

long env_number(const char* name, long fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' ? value : fallback;
}

std::string env_text(const char* name, const char* fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? text : fallback;
}

bool read_whole_file(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    text.clear();
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return true;
}

bool publish_file(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    const bool written = done == text.size() && ::close(fd) == 0;
    return written && std::rename(temporary.c_str(), path.c_str()) == 0;
}

void append_line(const std::string& path, const std::string& line) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) < 0) {
        // A lost record shows up as a failing test.
    }
    ::close(fd);
}

}  // namespace orvella_standin
