#include "control/server/command_server.hpp"

#define ASIO_STANDALONE 1
#define ASIO_NO_DEPRECATED 1
#include <asio.hpp>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "access/event_loop.hpp"
#include "access/instrument_catalogue.hpp"
#include "access/job_runner.hpp"
#include "control/igc_output.hpp"
#include "control/server/network_command.hpp"
#include "control/server/session_reporter.hpp"
#include "control/server/socket_error_names.hpp"
#include "core/time.hpp"

namespace orlogix {

namespace {

using asio::ip::tcp;
using namespace std::chrono_literals;

constexpr std::size_t kReceiveSize = 200;
constexpr std::size_t kMaxQueuedBytes = 4u << 20;   // a client that stops reading is cut off here
constexpr auto kLingerTime = 5s;                     // a peer that never closes after the last reply
constexpr auto kAcceptPause = 100ms;                 // out of descriptors: try again after this
constexpr int kListenBacklog = 20;
constexpr const char* kRefusal = "$Orlogix Error New connection\r\nConnection not accepted";
constexpr const char* kUsbDevice = "usb";

std::string returned(const char* call, const asio::error_code& ec) {
    return std::string(call) + " returned " + std::string(socket_error_name(ec.value()));
}

// Posts a job's events to the server thread.
class StrandPoster : public EventPoster {
public:
    explicit StrandPoster(asio::io_context& io) : io_(io) {}
    void post(std::function<void()> fn) override { asio::post(io_, std::move(fn)); }

private:
    asio::io_context& io_;
};

}  // namespace

struct Session;

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
    std::array<std::shared_ptr<Session>, kServerSlots> slots;
    std::string status = "Status";
    uint64_t next_job_id = 1;

    void accept_next();
    void accepted(tcp::socket socket);
    void refuse(tcp::socket socket);
    void free_session(const std::shared_ptr<Session>& s);
    void shut_down_all();
    void publish();
    bool device_in_use(const Session& self, const std::string& device) const;
};

struct Session : std::enable_shared_from_this<Session> {
    Session(CommandServer::Impl& server, int slot, tcp::socket socket)
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

    void set_row(std::string text) {
        row_status = std::move(text);
        server.publish();
    }

    void read_next() {
        auto self = shared_from_this();
        socket.async_read_some(asio::buffer(received), [self](const asio::error_code& ec, std::size_t n) {
            if (self->freed) return;
            if (ec == asio::error::eof) return self->closed_by_peer("Connection gracefully closed");
            if (ec) return self->closed_by_peer("Terminated (recv() error)");
            for (const CommandBuffer::Event& e : self->buffer.feed(std::string_view(self->received.data(), n))) {
                if (self->freed || self->peer_closed) return;
                self->command(e);
            }
            if (!self->freed && !self->peer_closed) self->read_next();
        });
    }

    // The peer went (or was cut off): a running job is asked to stop and the
    // session goes once it has ended.
    void closed_by_peer(const char* text) {
        if (peer_closed) return;
        peer_closed = true;
        // What is still queued goes unsent; the reply being written stays until its write ends.
        queue.erase(queue.begin() + (writing && !queue.empty() ? 1 : 0), queue.end());
        if (job_running) {
            runner->abort();
            set_row("Halting");
            return;
        }
        set_row(text);
        server.free_session(shared_from_this());
    }

    void send(std::string reply) {
        if (freed || peer_closed || send_shut) return;
        queued_bytes += reply.size();
        if (queued_bytes > kMaxQueuedBytes) return closed_by_peer("Terminated (client not reading)");
        queue.push_back(std::move(reply));
        if (!writing) write_next();
    }

    void write_next() {
        if (queue.empty()) {
            writing = false;
            if (job_ended) finish_connection();
            return;
        }
        writing = true;
        auto self = shared_from_this();
        // async_write goes on after partial sends until the reply is out whole.
        asio::async_write(socket, asio::buffer(queue.front()), [self](const asio::error_code& ec, std::size_t) {
            if (self->freed) return;
            self->writing = false;
            if (ec) return self->closed_by_peer("Terminated (send() error)");
            self->queued_bytes -= self->queue.front().size();
            self->queue.pop_front();
            self->write_next();
        });
    }

    // After the last reply of an ended job: no more sending; the session
    // goes when the peer closes, or after the linger time.
    void finish_connection() {
        if (send_shut || freed) return;
        send_shut = true;
        asio::error_code ignored;
        socket.shutdown(tcp::socket::shutdown_send, ignored);
        if (peer_closed) return server.free_session(shared_from_this());
        auto self = shared_from_this();
        linger.expires_after(kLingerTime);
        linger.async_wait([self](const asio::error_code& ec) {
            if (ec || self->freed) return;
            self->server.free_session(self);
        });
    }

    void decode_error(const std::string& text) { send(error_reply(kDecodeTitle, text)); }

    void command(const CommandBuffer::Event& e) {
        if (job_ended) return;   // an ended session starts nothing
        if (e.too_long) return decode_error("Command too long");
        NetworkCommand c;
        std::string error;
        if (parse_network_command(e.command, c, error) < 0) return decode_error(error);
        if (job_running) return while_running(c);
        start(c);
    }

    void while_running(const NetworkCommand& c) {
        if ((c.abort && *c.abort == 1) || (c.track && *c.track == 0)) {
            runner->abort();
            set_row("Halting");
            return;
        }
        if (c.track) {
            if (has_offered && listed_line_of_track(offered, *c.track) < 0) return decode_error("Bad track select");
            runner->context().selected_track.store(*c.track);
        }
    }

    void start(const NetworkCommand& c) {
        if (c.gps.empty()) return decode_error("Missing GPS protocol");
        const InstrumentKind* k = nullptr;
        for (const InstrumentKind& row : instrument_catalogue())
            if (row.server_name && c.gps == row.server_name) k = &row;
        if (!k) return decode_error("Unrecognized GPS type");
        std::string port_name;
        std::string dev;
        if (k->protocol == ProtocolType::GarminUsb) {
            if (server.device_in_use(*this, kUsbDevice)) return decode_error("USB port is used by another session");
            dev = kUsbDevice;
        } else {
            if (c.com.empty() || c.com_number == 0) return decode_error("Missing/bad COM port");
            port_name = c.com_number > 0 ? com_port_name(c.com_number) : c.com;
            dev = resolve_port_name(port_name, server.options.device_roots);
            if (dev.empty()) dev = port_name;
            if (server.device_in_use(*this, dev)) return decode_error("COM port is used by another session");
        }
        if (!k->server_downloads) return decode_error("GPS protocol not supported");

        auto weak = weak_from_this();
        asio::io_context& io = *server.io;
        reporter = std::make_unique<SessionReporter>([weak, &io](std::string reply) {
            asio::post(io, [weak, reply = std::move(reply)]() mutable {
                if (auto s = weak.lock()) s->send(std::move(reply));
            });
        });
        auto ctx = std::make_shared<JobContext>(*reporter, AccessType::ReadTrackLog, k->protocol, port_name);
        ctx->session = true;
        ctx->id = server.next_job_id++;
        ctx->device_roots = server.options.device_roots;
        ctx->options.origin = JobOrigin::ServerSession;
        ctx->options.competition_mode = false;
        ctx->options.deliver_flight = c.igc;
        ctx->params.baud = k->command_baud;
        if (c.track && *c.track > 0) ctx->selected_track.store(*c.track);
        if (server.options.link_factory) ctx->set_link(server.options.link_factory(*ctx));
        reporter->set_context(ctx.get(), [weak, &io](const SessionReporter::TrackListCopy& list) {
            asio::post(io, [weak, list] {
                if (auto s = weak.lock()) {
                    s->offered = list;
                    s->has_offered = true;
                }
            });
        });
        kind = k;
        device = dev;
        igc = c.igc;
        has_offered = false;
        job_running = true;
        try {
            runner = start_job_runner(ctx, *server.options.routines, *server.poster,
                                      [weak](const std::shared_ptr<JobRunner>&) {
                                          if (auto s = weak.lock()) s->job_done();
                                      });
        } catch (const std::system_error&) {
            job_running = false;
            return decode_error("Thread not started");
        }
        if (!runner) {   // a bad cell, already reported
            job_running = false;
            device.clear();
            return;
        }
        set_row("Executing command");
    }

    // On the server thread once the job has ended (its replies are queued before this).
    void job_done() {
        job_running = false;
        job_ended = true;
        if (igc && runner->context().result.code >= 0 && !peer_closed) deliver_flight();
        if (peer_closed) return server.free_session(shared_from_this());
        set_row("Completed");
        if (!writing && queue.empty()) finish_connection();
    }

    void deliver_flight() {
        JobResult& r = runner->context().result;
        std::string bytes;
        if (kind->keeps_raw_igc && !r.raw_igc.empty()) {
            bytes = r.raw_igc.bytes;
        } else if (r.track_log.positions.empty()) {
            return send(error_reply("Download track log", "No positions"));
        } else {
            if (r.track_log.header.download_time.year == 0) r.track_log.header.download_time = calendar_now();
            if (encode_flight_igc(r.track_log, {}, {}, bytes) < 0)
                return send(error_reply("Download track log", "Memory allocation error"));
        }
        send("$Orlogix IgcFile " + std::to_string(bytes.size()) + "\n" + bytes);
    }

    void free_now() {
        freed = true;
        asio::error_code ignored;
        linger.cancel();
        socket.close(ignored);
    }
};

void CommandServer::Impl::publish() {
    if (!options.snapshot) return;
    ServerSnapshot snap;
    snap.listening = acceptor && acceptor->is_open();
    snap.status = status;
    for (int i = 0; i < kServerSlots; ++i) {
        const auto& s = slots[i];
        if (!s) continue;
        snap.rows[i] = {true, s->address, s->peer_port, s->row_status};
    }
    options.snapshot(snap);
}

bool CommandServer::Impl::device_in_use(const Session& self, const std::string& device) const {
    for (const auto& s : slots)
        if (s && s.get() != &self && s->device == device) return true;
    return false;
}

void CommandServer::Impl::accept_next() {
    if (!acceptor || !acceptor->is_open()) return;
    auto self = shared_from_this();
    acceptor->async_accept([self](const asio::error_code& ec, tcp::socket socket) {
        if (!self->acceptor || !self->acceptor->is_open() || ec == asio::error::operation_aborted) return;
        if (!ec) {
            self->accepted(std::move(socket));
            return self->accept_next();
        }
        // A reset client or no descriptors left: keep listening, after a pause when out of descriptors.
        self->status = returned("accept()", ec);
        self->publish();
        if (ec.value() == EMFILE || ec.value() == ENFILE || ec.value() == ENOBUFS || ec.value() == ENOMEM) {
            self->accept_pause->expires_after(kAcceptPause);
            self->accept_pause->async_wait([self](const asio::error_code& e) {
                if (!e) self->accept_next();
            });
            return;
        }
        self->accept_next();
    });
}

void CommandServer::Impl::accepted(tcp::socket socket) {
    asio::error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (ec) {
        status = returned("getpeername()", ec);
        publish();
        return refuse(std::move(socket));
    }
    int slot = -1;
    for (int i = 0; i < kServerSlots && slot < 0; ++i)
        if (!slots[i]) slot = i;
    if (slot < 0) return refuse(std::move(socket));
    auto s = std::make_shared<Session>(*this, slot, std::move(socket));
    s->address = peer.address().is_v4() ? peer.address().to_v4().to_string() : peer.address().to_string();
    s->peer_port = peer.port();
    slots[slot] = s;
    s->set_row("Waiting for command");
    s->read_next();
}

// The refusal, then the connection is closed (shutting it down alone would
// leave a flood of refused clients holding descriptors).
void CommandServer::Impl::refuse(tcp::socket socket) {
    auto sock = std::make_shared<tcp::socket>(std::move(socket));
    static const std::string refusal = std::string(kRefusal) + '\0';
    asio::async_write(*sock, asio::buffer(refusal), [sock](const asio::error_code&, std::size_t) {
        asio::error_code ignored;
        sock->shutdown(tcp::socket::shutdown_both, ignored);
        sock->close(ignored);
    });
}

void CommandServer::Impl::free_session(const std::shared_ptr<Session>& s) {
    if (s->freed) return;
    s->free_now();
    if (slots[s->slot] == s) slots[s->slot].reset();
    publish();
}

void CommandServer::Impl::shut_down_all() {
    asio::error_code ignored;
    if (acceptor) acceptor->close(ignored);
    if (accept_pause) accept_pause->cancel();
    for (auto& s : slots)
        if (s && s->runner) s->runner->abort();
    // The jobs only post to this thread, so waiting for them here cannot block them.
    for (auto& s : slots)
        if (s && s->runner) s->runner->join();
    for (auto& s : slots)
        if (s) {
            s->free_now();
            s.reset();
        }
    status = "Status";
    publish();
}

CommandServer::CommandServer(ServerOptions options) : impl_(std::make_shared<Impl>(std::move(options))) {}

CommandServer::~CommandServer() { close(); }

int CommandServer::port() const { return impl_->bound_port.load(); }

int CommandServer::start(const std::string& address, const std::string& port_text, std::string& error) {
    std::lock_guard lock(impl_->start_mutex);
    Impl& m = *impl_;
    if (m.thread.joinable()) {
        error = "Server already started";
        return -1;
    }
    if (port_text.empty()) {
        error = "Missing port input";
        return -1;
    }
    uint64_t port = 0;
    for (char c : port_text) {
        if (c < '0' || c > '9') {
            error = "Bad port input";
            return -1;
        }
        port = port * 10 + static_cast<uint64_t>(c - '0');
        if (port > 65535) {
            error = "Port out of range";
            return -1;
        }
    }
    asio::error_code ec;
    asio::ip::address_v4 bind_address = asio::ip::address_v4::any();
    if (!address.empty()) {
        bind_address = asio::ip::make_address_v4(address, ec);
        if (ec) {
            error = "Bad address input";
            return -1;
        }
    }
    m.io = std::make_unique<asio::io_context>(1);
    m.poster = std::make_unique<StrandPoster>(*m.io);
    m.acceptor = std::make_unique<tcp::acceptor>(*m.io);
    m.accept_pause = std::make_unique<asio::steady_timer>(*m.io);
    auto fail = [&](const char* call) {
        error = returned(call, ec);
        asio::error_code ignored;
        m.acceptor->close(ignored);
        m.acceptor.reset();
        m.accept_pause.reset();
        m.poster.reset();
        m.io.reset();
        return -1;
    };
    m.acceptor->open(tcp::v4(), ec);
    if (ec) return fail("socket()");
    m.acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
    if (ec) return fail("setsockopt()");
    m.acceptor->bind(tcp::endpoint(bind_address, static_cast<unsigned short>(port)), ec);
    if (ec) return fail("bind()");
    const tcp::endpoint bound = m.acceptor->local_endpoint(ec);
    if (ec) return fail("getsockname()");
    m.acceptor->listen(kListenBacklog, ec);
    if (ec) return fail("listen()");
    m.bound_port = bound.port();
    m.status = "Listening on port " + std::to_string(bound.port());
    m.work = std::make_unique<asio::executor_work_guard<asio::io_context::executor_type>>(m.io->get_executor());
    m.accept_next();
    m.publish();
    m.thread = std::thread([io = m.io.get()] { io->run(); });
    return 0;
}

void CommandServer::close() {
    std::lock_guard lock(impl_->start_mutex);
    Impl& m = *impl_;
    if (!m.thread.joinable()) return;
    std::shared_ptr<Impl> keep = impl_;
    asio::post(*m.io, [keep] {
        keep->shut_down_all();
        keep->work.reset();
        keep->io->stop();
    });
    m.thread.join();
    m.bound_port = 0;
    m.acceptor.reset();
    m.accept_pause.reset();
    m.work.reset();
    // Handlers still queued (for freed sessions) go with the context.
    m.io.reset();
    m.poster.reset();
}

}  // namespace orlogix
