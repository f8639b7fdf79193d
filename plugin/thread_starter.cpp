#include "plugin/thread_starter.h"

#include <thread>
#include <utility>

namespace orvella {

namespace {

void start_std_thread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

ThreadStarter& current_starter() {
    static ThreadStarter starter = start_std_thread;
    return starter;
}

}  // namespace

void start_detached_thread(std::function<void()> body) { current_starter()(std::move(body)); }

ThreadStarter set_thread_starter(ThreadStarter starter) {
    ThreadStarter previous = current_starter();
    current_starter() = starter ? starter : start_std_thread;
    return previous;
}

}  // namespace orvella
