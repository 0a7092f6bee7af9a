#pragma once
// The TCP command server: scoring clients connect, send one "$Orlogix"
// command, and receive the replies of the track-log download it started on
// their own port; up to ten sessions at a time. One server thread owns the
// listening socket and every connection; jobs only post their replies to it.
// Whoever shows the server (the window's dialog, the headless runner) sees
// it through snapshots, never through its data.
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"
#include "access/port_list.hpp"

namespace orlogix {

inline constexpr int kServerSlots = 10;
inline constexpr int kDefaultServerPort = 61234;
inline constexpr const char* kStartServerTitle = "Start server";
inline constexpr std::chrono::milliseconds kLingerTime{5000};   // a peer that never closes after the last reply
inline constexpr std::chrono::milliseconds kAcceptPause{100};   // out of descriptors: accept again after this

struct ServerRow {
    bool used = false;
    std::string address;   // "%d.%d.%d.%d"
    int port = 0;
    std::string status;    // "Waiting for command", "Executing command", "Halting", ...
};

struct ServerSnapshot {
    bool listening = false;
    std::string status;    // the server status line
    std::array<ServerRow, kServerSlots> rows;
};

struct ServerOptions {
    const RoutineRegistry* routines = &job_routines();
    LinkFactory link_factory;   // empty: each job opens its port
    DeviceRoots device_roots;
    // Called on the server thread after every change; the receiver copies
    // what it needs and hands it to its own thread.
    std::function<void(const ServerSnapshot&)> snapshot;
    // Tests shorten these to see them pass.
    std::chrono::milliseconds linger_time = kLingerTime;
    std::chrono::milliseconds accept_pause = kAcceptPause;
};

class CommandServer {
public:
    explicit CommandServer(ServerOptions options = {});
    ~CommandServer();   // close()
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    // Starts listening on address (empty: every local address) and the port
    // text. 0, or -1 with the error text (shown titled kStartServerTitle).
    int start(const std::string& address, const std::string& port_text, std::string& error);
    // The port actually bound, 0 when stopped.
    int port() const;
    // Stops listening, aborts the running jobs, waits for them, then frees
    // every session. Safe to call twice and when never started.
    void close();

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace orlogix
