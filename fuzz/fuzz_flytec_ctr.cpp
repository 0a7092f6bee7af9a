// Instrument bytes through the Flytec/Brauniger CTR list download and the
// upload acknowledgement; every CTR read must go out again or be refused.
#include <cstddef>
#include <cstdint>

#include "protocols/flytec/ctr_list_decoder.hpp"
#include "protocols/flytec/ctr_sentences.hpp"

using namespace orlogix::flytec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CtrListDecoder list;
    CtrAckDecoder ack;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        const int a = ack.feed(c);
        if (a < -6 || a > 1) __builtin_trap();
        const auto r = list.feed(c);
        if (r == CtrListDecoder::Result::AssemblerError || r == CtrListDecoder::Result::SentenceError) {
            if (list.error() < 1 || list.error() > 41) __builtin_trap();
            break;
        }
        if (r == CtrListDecoder::Result::ListDone) break;
    }
    for (const orlogix::Ctr& ctr : list.ctrs()) {
        if (ctr.name.size() > orlogix::kCtrTextMax || ctr.floor.size() > orlogix::kCtrTextMax) __builtin_trap();
        std::vector<CtrUploadSentence> out;
        std::string error;
        if (ctr_upload_sentences(ctr, out, error))
            for (const CtrUploadSentence& s : out)
                if (s.bytes.size() > 64) __builtin_trap();
    }
    return 0;
}
