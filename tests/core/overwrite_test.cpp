#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/overwrite.hpp"
#include "support/recording_reporter.hpp"

namespace orlogix {
namespace {

TEST(Overwrite, AsksInTheBoxOfTheSaveOnlyWhenTheFileExists) {
    const std::string exists = std::filesystem::temp_directory_path() / ("orlogix-ow-" + std::to_string(::getpid()));
    std::filesystem::create_directories(exists);
    struct Case {
        OverwriteBox box;
        int answer;
        bool replace;
        const char* kind;
    };
    for (const Case& c : {Case{OverwriteBox::YesNo, kBoxYes, true, "yesno"},
                          Case{OverwriteBox::YesNo, kBoxNo, false, "yesno"},
                          Case{OverwriteBox::YesNo, kBoxOk, false, "yesno"},
                          Case{OverwriteBox::OkCancel, kBoxOk, true, "question"},
                          Case{OverwriteBox::OkCancel, kBoxCancel, false, "question"},
                          Case{OverwriteBox::OkCancel, kBoxYes, false, "question"}}) {
        test::RecordingReporter r;
        r.queue_answer(c.answer);
        EXPECT_EQ(may_replace(r, exists, c.box), c.replace) << c.kind << c.answer;
        ASSERT_EQ(r.boxes().size(), 1u);
        EXPECT_EQ(r.boxes()[0].kind, c.kind);
        EXPECT_EQ(r.boxes()[0].title, "File creation");
        EXPECT_EQ(r.boxes()[0].text, "File already exists, overwrite ?");

        test::RecordingReporter quiet;
        EXPECT_TRUE(may_replace(quiet, exists + "/new", c.box));
        EXPECT_TRUE(quiet.boxes().empty());
    }
    std::filesystem::remove_all(exists);
}

}  // namespace
}  // namespace orlogix
