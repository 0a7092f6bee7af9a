// The fault switches and output queue of the instrument base, driven
// directly without a pty.
#include <gtest/gtest.h>

#include "sim/instrument.hpp"

namespace orlogix::sim {
namespace {

// Answers each byte 'a'..'z' with a fixed reply of its own, so every reply is
// distinguishable and of known length.
class LetterInstrument : public Instrument {
public:
    using Instrument::pause;

protected:
    void on_bytes(std::string_view bytes) override {
        for (char c : bytes) {
            if (c == 'p') {
                pause(std::chrono::milliseconds(40));
                continue;
            }
            reply(std::string("<") + c + c + c + c + ">");
        }
    }
};

std::string run(const FaultSettings& faults, std::string_view input) {
    LetterInstrument inst;
    inst.set_faults(faults);
    inst.receive(input);
    return inst.take_all_output();
}

TEST(InstrumentFaults, WithoutFaultsEveryReplyGoesOutWhole) {
    EXPECT_EQ(run({}, "abc"), "<aaaa><bbbb><cccc>");
}

TEST(InstrumentFaults, SilentSendsNothingButStillCountsReplies) {
    FaultSettings f;
    f.silent = true;
    LetterInstrument inst;
    inst.set_faults(f);
    inst.receive("abc");
    EXPECT_FALSE(inst.has_output());
    EXPECT_EQ(inst.reply_count(), 3u);
    EXPECT_EQ(inst.bytes_queued(), 0u);
}

TEST(InstrumentFaults, CorruptSpoilsOneMiddleByteOfThatReplyOnly) {
    FaultSettings f;
    f.corrupt_reply = 2;
    const std::string out = run(f, "abc");
    ASSERT_EQ(out.size(), 18u);
    EXPECT_EQ(out.substr(0, 6), "<aaaa>");
    EXPECT_EQ(out.substr(12), "<cccc>");
    const std::string second = out.substr(6, 6);
    std::string expected = "<bbbb>";
    expected[3] = static_cast<char>('b' ^ 0xFF);
    EXPECT_EQ(second, expected);
}

TEST(InstrumentFaults, CorruptOfTheFirstReplyAndOfAReplyNeverReached) {
    FaultSettings f;
    f.corrupt_reply = 1;
    EXPECT_NE(run(f, "a"), "<aaaa>");
    EXPECT_EQ(run(f, "a").size(), 6u);
    f.corrupt_reply = 9;
    EXPECT_EQ(run(f, "abc"), "<aaaa><bbbb><cccc>");
}

TEST(InstrumentFaults, CorruptOfAOneByteReplySpoilsThatByte) {
    class One : public Instrument {
    protected:
        void on_bytes(std::string_view) override { reply(std::string_view("\x10", 1)); }
    } inst;
    FaultSettings f;
    f.corrupt_reply = 1;
    inst.set_faults(f);
    inst.receive("x");
    EXPECT_EQ(inst.take_all_output(), std::string(1, static_cast<char>(0xEF)));
}

TEST(InstrumentFaults, DropLeavesOutThatReplyOnly) {
    FaultSettings f;
    f.drop_reply = 2;
    EXPECT_EQ(run(f, "abcd"), "<aaaa><cccc><dddd>");
    f.drop_reply = 1;
    EXPECT_EQ(run(f, "ab"), "<bbbb>");
}

TEST(InstrumentFaults, CutAfterStopsInTheMiddleOfAReplyAndForever) {
    FaultSettings f;
    f.cut_after = 8;
    EXPECT_EQ(run(f, "abc"), "<aaaa><b");
    f.cut_after = 6;
    EXPECT_EQ(run(f, "abc"), "<aaaa>");
    f.cut_after = 0;
    EXPECT_EQ(run(f, "abc"), "");
}

TEST(InstrumentFaults, CutAfterCountsOnlyBytesActuallySent) {
    FaultSettings f;
    f.drop_reply = 1;
    f.cut_after = 8;
    EXPECT_EQ(run(f, "abc"), "<bbbb><c");
}

TEST(InstrumentFaults, RepliesAreCountedAcrossSeparateInputs) {
    FaultSettings f;
    f.drop_reply = 3;
    LetterInstrument inst;
    inst.set_faults(f);
    inst.receive("a");
    inst.receive("b");
    inst.receive("c");
    inst.receive("d");
    EXPECT_EQ(inst.take_all_output(), "<aaaa><bbbb><dddd>");
    EXPECT_EQ(inst.reply_count(), 4u);
}

TEST(InstrumentOutput, PauseHoldsBackTheNextReplyOnly) {
    LetterInstrument inst;
    inst.receive("apbc");
    OutputChunk first = inst.take_chunk();
    OutputChunk second = inst.take_chunk();
    OutputChunk third = inst.take_chunk();
    EXPECT_EQ(first.bytes, "<aaaa>");
    EXPECT_EQ(first.pause_before.count(), 0);
    EXPECT_EQ(second.bytes, "<bbbb>");
    EXPECT_EQ(second.pause_before.count(), 40);
    EXPECT_EQ(third.pause_before.count(), 0);
    EXPECT_FALSE(inst.has_output());
}

TEST(InstrumentOutput, PauseBeforeADroppedReplyCarriesOver) {
    FaultSettings f;
    f.drop_reply = 1;
    LetterInstrument inst;
    inst.set_faults(f);
    inst.receive("pab");
    OutputChunk c = inst.take_chunk();
    EXPECT_EQ(c.bytes, "<bbbb>");
    EXPECT_EQ(c.pause_before.count(), 40);
}

TEST(InstrumentOutput, ReportsGoToTheSinkAndNowhereWithoutOne) {
    class Reporting : public Instrument {
    protected:
        void on_bytes(std::string_view bytes) override { report(bytes); }
    } inst;
    inst.receive("dropped, no sink");
    std::vector<std::string> lines;
    inst.set_report_sink([&](std::string_view line) { lines.emplace_back(line); });
    inst.receive("WPT A01");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "WPT A01");
    EXPECT_FALSE(inst.has_output());
}

}  // namespace
}  // namespace orlogix::sim
