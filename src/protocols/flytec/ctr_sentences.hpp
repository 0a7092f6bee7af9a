#pragma once
// The CTR upload of the Flytec/Brauniger instruments: the numbered
// "$PBRCTRW" sentences of one airspace and the decoder of the instrument's
// "$PBRANS" acknowledgement.
#include <string>
#include <vector>

#include "core/ctr_records.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flytec {

struct CtrUploadSentence {
    std::string bytes;          // the whole sentence, CR LF included
    int pause_ms = 100;         // the wait after it
    bool ends_segment = false;  // the last sentence of a segment ("% CTR segments sent")
};

// The sentences of one CTR in sending order: name, floor, then each segment.
// False with a message naming the CTR when a value does not fit its field
// (more than 999 sentences, a radius over 99999 m, a position off the map).
bool ctr_upload_sentences(const Ctr& ctr, std::vector<CtrUploadSentence>& out, std::string& error);

// Reads the acknowledgement after a CTR: skips bytes up to a "$", then the
// sentence must be "$PBRANS," with a valid checksum.
class CtrAckDecoder {
public:
    // 0: more bytes wanted; 1: status() holds the acknowledgement;
    // -n: format error n ("E600 Format error %").
    int feed(char byte);
    char status() const { return status_; }

private:
    SentenceAssembler assembler_{200, false};
    char status_ = 0;
};

// "CTR transfer ok" for status '1'; the refusal text for any other status.
const char* ctr_ack_text(char status);

}  // namespace orlogix::flytec
