#pragma once
// The CTR list download of the Flytec/Brauniger instruments: "$PBRCTR"
// sentences (header, floor text, segments) built into CTRs, ended by
// "$PBRANS,1". Two error sets: the sentence assembler's ("E703") and the
// sentence decoder's ("E702").
#include <cstddef>
#include <string_view>

#include "core/ctr_records.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flytec {

class CtrListDecoder {
public:
    enum class Result {
        More,
        CtrDone,          // a CTR is complete: ctrs().size() so far
        ListDone,         // the end mark arrived
        AssemblerError,   // error(): "E703 Format error %"
        SentenceError,    // error(): "E702 Format error %"
    };

    Result feed(char byte);
    // One sentence body (between "$" and "*"), for the decoder alone.
    Result sentence(std::string_view body);
    int error() const { return error_; }
    const CtrList& ctrs() const { return ctrs_; }
    CtrList take() { return std::move(ctrs_); }

private:
    Result fail(int error);
    Result header(const std::vector<std::string_view>& f, uint32_t count, uint32_t number);
    Result segment(const std::vector<std::string_view>& f, uint32_t number);

    enum class Arc { None, AfterCentre, AfterStart };
    SentenceAssembler assembler_{81, false};
    CtrList ctrs_;
    bool in_ctr_ = false;
    uint32_t count_ = 0, next_ = 0;
    Arc arc_ = Arc::None;
    CtrSegment pending_;
    int error_ = 0;
};

}  // namespace orlogix::flytec
