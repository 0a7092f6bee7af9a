#pragma once
// What the server thread keeps: the server's state (the listening socket,
// the ten slots) and each session's. Only the server's own files include it.
#define ASIO_STANDALONE 1
#define ASIO_NO_DEPRECATED 1
// Asio picks aligned_alloc or operator new for its handler memory from what
// the standard library headers seen so far declare, so two files could
// allocate one way and free the other. Operator new everywhere.
#define ASIO_DISABLE_STD_ALIGNED_ALLOC 1
#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "access/event_loop.hpp"
#include "access/instrument_catalogue.hpp"
#include "access/job_runner.hpp"
#include "control/server/command_server.hpp"
#include "control/server/network_command.hpp"
#include "control/server/session_reporter.hpp"

namespace orlogix {

using tcp = asio::ip::tcp;

inline constexpr std::size_t kReceiveSize = 200;
inline constexpr std::size_t kMaxQueuedBytes = 4u << 20;   // a client that stops reading is cut off here
inline constexpr const char* kUsbDevice = "usb";           // the device name sessions on USB hold

// Posts a job's events to the server thread.
class StrandPoster : public EventPoster {
public:
    explicit StrandPoster(asio::io_context& io) : io_(io) {}
    void post(std::function<void()> fn) override { asio::post(io_, std::move(fn)); }

private:
    asio::io_context& io_;
};

struct ServerSession;

struct CommandServer::Impl : std::enable_shared_from_this<CommandServer::Impl> {
    explicit Impl(ServerOptions o) : options(std::move(o)) {}

    ServerOptions options;
    std::unique_ptr<asio::io_context> io;
    std::unique_ptr<asio::executor_work_guard<asio::io_context::executor_type>> work;
    std::unique_ptr<StrandPoster> poster;
    std::unique_ptr<tcp::acceptor> acceptor;
    std::unique_ptr<asio::steady_timer> accept_pause;
    std::thread thread;
    std::atomic<int> bound_port{0};
    std::mutex start_mutex;   // start() and close() from the owner's thread(s)

    // Server thread only from here on.
    std::array<std::shared_ptr<ServerSession>, kServerSlots> slots;
    std::string status = "Status";
    uint64_t next_job_id = 1;

    void accept_next();
    void accepted(tcp::socket socket);
    void refuse(tcp::socket socket);
    void free_session(const std::shared_ptr<ServerSession>& s);
    void shut_down_all();
    void publish();
    bool device_in_use(const ServerSession& self, const std::string& device) const;
};

// One connection: its command buffer, its ordered send queue and its job.
// Lives on the server thread; the job reaches it only through posts.
struct ServerSession : std::enable_shared_from_this<ServerSession> {
    ServerSession(CommandServer::Impl& server, int slot, tcp::socket socket)
        : server(server), slot(slot), socket(std::move(socket)), linger(this->socket.get_executor()) {}

    CommandServer::Impl& server;
    int slot;
    tcp::socket socket;
    asio::steady_timer linger;
    std::string address;
    int peer_port = 0;
    std::string row_status;
    CommandBuffer buffer;
    std::array<char, kReceiveSize> received{};

    std::deque<std::string> queue;
    std::size_t queued_bytes = 0;
    bool writing = false;

    bool freed = false;
    bool peer_closed = false;    // end of file, a receive error or a cut-off
    bool job_running = false;
    bool job_ended = false;      // a job ran and ended: the session starts no other
    bool send_shut = false;
    std::string device;          // the port (resolved) or "usb" of the last job
    bool igc = false;
    SessionReporter::TrackListCopy offered{};
    bool has_offered = false;

    // Declared before the runner: the job's context refers to it.
    std::unique_ptr<SessionReporter> reporter;
    std::shared_ptr<JobRunner> runner;
    const InstrumentKind* kind = nullptr;

    void set_row(std::string text);
    void read_next();
    // The peer went (or was cut off): a running job is asked to stop and the
    // session goes once it has ended.
    void closed_by_peer(const char* text);
    void send(std::string reply);
    void write_next();
    // After the last reply of an ended job: no more sending; the session
    // goes when the peer closes, or after the linger time.
    void finish_connection();
    void decode_error(const std::string& text);
    void command(const CommandBuffer::Event& e);
    void while_running(const NetworkCommand& c);
    void start(const NetworkCommand& c);
    // On the server thread once the job has ended (its replies are queued before this).
    void job_done();
    void deliver_flight();
    void free_now();
};

}  // namespace orlogix
