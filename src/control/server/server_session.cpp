#include "control/server/server_state.hpp"

#include <system_error>

#include "control/igc_output.hpp"
#include "core/time.hpp"

namespace orlogix {

void ServerSession::set_row(std::string text) {
    row_status = std::move(text);
    server.publish();
}

void ServerSession::read_next() {
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

void ServerSession::closed_by_peer(const char* text) {
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

void ServerSession::send(std::string reply) {
    if (freed || peer_closed || send_shut) return;
    queued_bytes += reply.size();
    if (queued_bytes > kMaxQueuedBytes) return closed_by_peer("Terminated (client not reading)");
    queue.push_back(std::move(reply));
    if (!writing) write_next();
}

void ServerSession::write_next() {
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

void ServerSession::finish_connection() {
    if (send_shut || freed) return;
    send_shut = true;
    asio::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_send, ignored);
    if (peer_closed) return server.free_session(shared_from_this());
    auto self = shared_from_this();
    linger.expires_after(server.options.linger_time);
    linger.async_wait([self](const asio::error_code& ec) {
        if (ec || self->freed) return;
        self->server.free_session(self);
    });
}

void ServerSession::decode_error(const std::string& text) { send(error_reply(kDecodeTitle, text)); }

void ServerSession::command(const CommandBuffer::Event& e) {
    if (job_ended) return;   // an ended session starts nothing
    if (e.too_long) return decode_error("Command too long");
    NetworkCommand c;
    std::string error;
    if (parse_network_command(e.command, c, error) < 0) return decode_error(error);
    if (job_running) return while_running(c);
    start(c);
}

void ServerSession::while_running(const NetworkCommand& c) {
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

void ServerSession::start(const NetworkCommand& c) {
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

void ServerSession::job_done() {
    job_running = false;
    job_ended = true;
    if (igc && runner->context().result.code >= 0 && !peer_closed) deliver_flight();
    if (peer_closed) return server.free_session(shared_from_this());
    set_row("Completed");
    if (!writing && queue.empty()) finish_connection();
}

void ServerSession::deliver_flight() {
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

void ServerSession::free_now() {
    freed = true;
    asio::error_code ignored;
    linger.cancel();
    socket.close(ignored);
}

}  // namespace orlogix
