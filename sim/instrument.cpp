#include "sim/instrument.hpp"

namespace orlogix::sim {

void Instrument::reply(std::span<const std::uint8_t> bytes) {
    reply(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void Instrument::reply(std::string_view bytes) {
    const std::size_t number = ++replies_;
    if (faults_.silent || number == faults_.drop_reply) return;
    std::string out(bytes);
    if (number == faults_.corrupt_reply && !out.empty()) out[out.size() / 2] ^= static_cast<char>(0xFF);
    if (faults_.cut_after) {
        const std::size_t room = *faults_.cut_after > bytes_queued_ ? *faults_.cut_after - bytes_queued_ : 0;
        if (out.size() > room) out.resize(room);
    }
    if (out.empty()) return;
    bytes_queued_ += out.size();
    output_.push_back({std::move(out), pending_pause_, rate_});
    pending_pause_ = std::chrono::milliseconds{0};
}

void Instrument::report(std::string_view line) const {
    if (sink_) sink_(line);
}

std::string garbled(std::string_view bytes) { return std::string(bytes.size(), '\xFF'); }

OutputChunk Instrument::take_chunk() {
    if (output_.empty()) return {};
    OutputChunk chunk = std::move(output_.front());
    output_.pop_front();
    return chunk;
}

std::string Instrument::take_all_output() {
    std::string all;
    while (!output_.empty()) all += take_chunk().bytes;
    return all;
}

}  // namespace orlogix::sim
