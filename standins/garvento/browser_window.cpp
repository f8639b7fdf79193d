#include "standins/garvento/browser_window.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <sstream>

#include "standins/garvento/standin_control.h"

namespace standin {

namespace {

// A waiting page asks again after this; short enough that no proxy or
// browser gives up on the request first.
const std::chrono::seconds kLongPoll(20);

// The page's side of the bridge: window.svHost over the window's endpoints.
// "@BASE@" becomes /window/W/ and "@AFTER@" the sequence number the page
// starts after, so a reloaded page does not see old messages again.
const char kBridgeScript[] = R"JS("use strict";
(function () {
  const base = "@BASE@";
  let after = @AFTER@;
  let closed = false;
  const host = { onmessage: null, onclose: null };
  function post(path, body) {
    return fetch(base + path, {
      method: "POST",
      headers: { "Content-Type": "text/plain; charset=utf-8" },
      body: body,
    });
  }
  host.ready = function () { post("ready", ""); };
  host.send = function (text) { post("reply", String(text)); };
  function retryLater() { return new Promise((resolve) => setTimeout(resolve, 1000)); }
  function close() { closed = true; if (host.onclose) host.onclose(); }
  async function listen() {
    let failures = 0;
    while (!closed) {
      let response;
      try {
        response = await fetch(base + "next?after=" + after, { cache: "no-store" });
        failures = 0;
      } catch (e) {
        // A host that stays unreachable has ended, and its windows with it.
        if (++failures >= 3) { close(); return; }
        await retryLater();
        continue;
      }
      if (response.status === 204) continue;
      if (response.status !== 200) { close(); return; }
      after = Number(response.headers.get("X-Seq"));
      const type = response.headers.get("X-Type");
      const text = await response.text();
      if (type === "message") { if (host.onmessage) host.onmessage(text); }
      else if (type === "notice") { window.alert(text); }
      else if (type === "closed") { close(); }
    }
  }
  window.svHost = host;
  listen();
})();
)JS";

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::string::size_type at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The page's path below the window's address: the plug-in names it from the
// root ("/settings.html"); a bare name is taken the same way.
std::string page_path(const std::string& page) {
    return !page.empty() && page[0] == '/' ? page : "/" + page;
}

// The page names a file below the page folder; nothing may climb out of it.
bool safe_page_path(const std::string& page) {
    if (page.empty() || page[0] != '/') return false;
    std::istringstream parts(page);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part == "..") return false;
    return true;
}

bool read_whole_file(const std::string& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    contents = all.str();
    return true;
}

std::string inject_after_head(const std::string& html, const std::string& tag) {
    std::string lower(html);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string::size_type head = lower.find("<head>");
    if (head == std::string::npos) return tag + html;
    std::string out(html);
    out.insert(head + 6, tag);
    return out;
}

void no_store(httplib::Response& res) { res.set_header("Cache-Control", "no-store"); }

}  // namespace

BrowserWindow::BrowserWindow(std::string page_folder)
    : page_folder_(std::move(page_folder)), server_(new httplib::Server) {}

BrowserWindow::~BrowserWindow() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    output_arrived_.notify_all();
    server_->stop();
    if (server_thread_.joinable()) server_thread_.join();
}

bool BrowserWindow::start(int port, std::string& error) {
    route();
    if (port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else {
        port_ = server_->bind_to_port("127.0.0.1", port) ? port : -1;
    }
    if (port_ <= 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port);
        port_ = 0;
        return false;
    }
    server_thread_ = std::thread([this] { server_->listen_after_bind(); });
    return true;
}

std::string BrowserWindow::address() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string BrowserWindow::page_url(SvApiWindowHandle window) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return "";
    return address() + "/window/" + std::to_string(window) + page_path(it->second.request.page);
}

bool BrowserWindow::wait_until_pages_heard_close(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return close_heard_.wait_for(lock, timeout, [this] {
        for (const auto& entry : windows_) {
            const Window& w = entry.second;
            if (w.open || (w.listened && !w.closed_heard)) return false;
        }
        return true;
    });
}

bool BrowserWindow::any_open() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : windows_)
        if (entry.second.open) return true;
    return false;
}

void BrowserWindow::notice(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : windows_)
            if (entry.second.open) entry.second.outputs.push_back({next_seq_++, "notice", text});
    }
    output_arrived_.notify_all();
}

void BrowserWindow::set_announce(std::function<void(const std::string&)> announce) {
    announce_ = std::move(announce);
}

int BrowserWindow::on_create(const WindowRequest& window) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        windows_[window.handle] = Window{window, {}, true, false, false};
    }
    if (announce_)
        announce_("window " + std::to_string(window.handle) + " \"" + window.title + "\" at " +
                  page_url(window.handle));
    return 0;
}

int BrowserWindow::on_message(SvApiWindowHandle window, const std::string& text) {
    add_output(window, "message", text);
    return 0;
}

void BrowserWindow::on_close(SvApiWindowHandle window) {
    add_output(window, "closed", "");
}

void BrowserWindow::on_message_box(const std::string& text, int) { notice(text); }

void BrowserWindow::add_output(SvApiWindowHandle window, const char* type, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end() || !it->second.open) return;
        it->second.outputs.push_back({next_seq_++, type, text});
        if (std::string(type) == "closed") it->second.open = false;
    }
    output_arrived_.notify_all();
}

void BrowserWindow::route() {
    httplib::Server& server = *server_;
    // One request per connection: nothing holds a server thread between
    // requests, and the server stops at once.
    server.set_keep_alive_max_count(1);

    // Page events: queued for the host's thread, never delivered from here.
    // The body is read only for a reply, so a bare "curl -X POST .../ready"
    // (no body, no length) is answered at once.
    auto event = [this](int kind, bool with_body) {
        return [this, kind, with_body](const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& read_body) {
            const SvApiWindowHandle window = std::stoull(req.matches[1].str());
            {
                std::lock_guard<std::mutex> lock(mutex_);
                auto it = windows_.find(window);
                if (it == windows_.end()) { res.status = 404; return; }
                if (!it->second.open) { res.status = 410; return; }
            }
            std::string text;
            if (with_body) {
                read_body([&text](const char* data, size_t length) {
                    text.append(data, length);
                    return true;
                });
            }
            post_window_event(window, kind, text);
            no_store(res);
            res.status = 204;
        };
    };
    server.Post(R"(/window/(\d{1,19})/ready)", event(SVAPI_EVENT_PAGE_READY, false));
    server.Post(R"(/window/(\d{1,19})/reply)", event(SVAPI_EVENT_PAGE_REPLY, true));

    // Browsers ask for an icon; a window has none.
    server.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });

    server.Get(R"(/window/(\d{1,19})/next)", [this](const httplib::Request& req,
                                                   httplib::Response& res) {
        const SvApiWindowHandle window = std::stoull(req.matches[1].str());
        long after = 0;
        try {
            after = std::stol(req.get_param_value("after"));
        } catch (...) {
            after = 0;  // absent or unreadable: from the start
        }
        std::unique_lock<std::mutex> lock(mutex_);
        if (windows_.find(window) == windows_.end()) { res.status = 404; return; }
        windows_.at(window).listened = true;
        const Output* found = nullptr;
        auto ready = [&] {
            if (stopping_) return true;
            const Window& w = windows_.at(window);
            for (const Output& out : w.outputs)
                if (out.seq > after) { found = &out; return true; }
            if (!w.open) { found = &w.outputs.back(); return true; }
            return false;
        };
        no_store(res);
        if (!output_arrived_.wait_for(lock, kLongPoll, ready) || !found) {
            res.status = 204;
            return;
        }
        res.set_header("X-Seq", std::to_string(found->seq));
        res.set_header("X-Type", found->type);
        res.set_content(found->text, "text/plain; charset=utf-8");
        if (found->type == "closed") {
            windows_.at(window).closed_heard = true;
            close_heard_.notify_all();
        }
    });

    server.Get(R"(/window/(\d{1,19})(/.*))", [this](const httplib::Request& req,
                                                  httplib::Response& res) {
        const SvApiWindowHandle window = std::stoull(req.matches[1].str());
        const std::string path = req.matches[2].str();
        std::string page;
        long after = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = windows_.find(window);
            if (it == windows_.end()) { res.status = 404; return; }
            page = page_path(it->second.request.page);
            // A closed window's page hears "closed" at once; an open one
            // only what comes after it was served.
            if (!it->second.outputs.empty())
                after = it->second.outputs.back().seq - (it->second.open ? 0 : 1);
        }
        const std::string base = "/window/" + std::to_string(window) + "/";
        no_store(res);
        if (path == "/bridge.js") {
            std::string script = replace_all(kBridgeScript, "@BASE@", base);
            script = replace_all(script, "@AFTER@", std::to_string(after));
            res.set_content(script, "text/javascript; charset=utf-8");
            return;
        }
        std::string html;
        if (path != page || !safe_page_path(page) || !read_whole_file(page_folder_ + page, html)) {
            res.status = 404;
            return;
        }
        res.set_content(inject_after_head(html, "<script src=\"" + base + "bridge.js\"></script>"),
                        "text/html; charset=utf-8");
    });
}

}  // namespace standin
