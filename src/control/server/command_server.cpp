#include "control/server/command_server.hpp"

#include <cerrno>

#include "control/server/server_state.hpp"
#include "control/server/socket_error_names.hpp"

namespace orlogix {

namespace {

constexpr int kListenBacklog = 20;
constexpr const char* kRefusal = "$Orlogix Error New connection\r\nConnection not accepted";

std::string returned(const char* call, const asio::error_code& ec) {
    return std::string(call) + " returned " + std::string(socket_error_name(ec.value()));
}

}  // namespace

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

bool CommandServer::Impl::device_in_use(const ServerSession& self, const std::string& device) const {
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
            self->accept_pause->expires_after(self->options.accept_pause);
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
    auto s = std::make_shared<ServerSession>(*this, slot, std::move(socket));
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

void CommandServer::Impl::free_session(const std::shared_ptr<ServerSession>& s) {
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

