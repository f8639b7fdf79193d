#include "settings_test_files.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "sandbox_files.h"

namespace orvella_test {

std::string preferences_file(const std::string& avatar, const std::string& dir) {
    return kDeclaration + "<orvella_garvento_settings>\n"
                          "    <IncludeAvatar>" + avatar + "</IncludeAvatar>\n"
                          "    <TexturesDir>" + dir + "</TexturesDir>\n"
                          "</orvella_garvento_settings>\n";
}

std::string support_folder(int version) {
    return "/Library/Application Support/Orvella" + std::to_string(version) + "/";
}

void install_orvella_settings(int version, const char* contents) {
    if (version >= 0) install_bundle(version, false);
    if (contents) write_file(support_folder(version) + "OV9Settings.xml", contents);
}

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t opens_of(const std::string& path, const std::function<void()>& action) {
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watcher < 0 || ::inotify_add_watch(watcher, path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ADD_FAILURE() << "cannot watch " << path;
        if (watcher >= 0) ::close(watcher);
        return 0;
    }
    action();
    // The events are queued by the time the calls return. Each open is
    // followed by its close: a queue merges only identical events in a row.
    std::size_t opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(watcher, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN) ++opens;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watcher);
    return opens;
}

std::string repeated(const std::string& unit, std::size_t times) {
    std::string text;
    text.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i) text += unit;
    return text;
}

std::string nested_elements(std::size_t levels, const std::string& inside) {
    std::string text;
    text.reserve(levels * 7 + inside.size());
    for (std::size_t i = 0; i < levels; ++i) text += "<a>";
    text += inside;
    for (std::size_t i = 0; i < levels; ++i) text += "</a>";
    return text;
}

}  // namespace orvella_test
