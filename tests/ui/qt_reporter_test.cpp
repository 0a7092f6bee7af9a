// The window's reporter: calls from job threads reach the GUI thread, and a
// closing window releases a job that waits for an answer.
#include <gtest/gtest.h>

#include <QLabel>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <thread>

#include "ui/qt_reporter.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

TEST(QtReporterThreads, BoxesFromAJobThreadAreAnsweredOnTheGuiThread) {
    test::application();
    QWidget window;
    QLabel status, product;
    QtReporter r(&window);
    r.set_status_labels(&status, &product);
    std::atomic<bool> on_gui{false};
    r.set_box_handler([&](const BoxRequest& b) {
        on_gui = QThread::currentThread() == window.thread();
        return b.kind == "choose" ? 2 : kBoxOk;
    });
    std::atomic<int> answer{-5}, choice{-5};
    std::atomic<bool> done{false};
    std::thread job([&] {
        r.status("Receiving 10 positions");
        answer = r.question_box("Title", "Go on ?");
        choice = r.choose("Track list", {"a", "b", "c"}, 0);
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    job.join();
    QApplication::processEvents();
    EXPECT_TRUE(on_gui.load());
    EXPECT_EQ(answer.load(), kBoxOk);
    EXPECT_EQ(choice.load(), 2);
    EXPECT_EQ(status.text().toStdString(), "Receiving 10 positions");
}

TEST(QtReporterThreads, StopWaitingGivesAWaitingJobTheRefusingAnswer) {
    test::application();
    QWidget window;
    QtReporter r(&window);
    r.set_box_handler([](const BoxRequest&) { return kBoxOk; });
    std::atomic<int> answer{-5}, yes_no{-5};
    std::thread job([&] {
        answer = r.question_box("Title", "Go on ?");  // nobody runs the event loop
        yes_no = r.yes_no_box("Title", "Sure ?");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(answer.load(), -5);
    r.stop_waiting();
    job.join();
    EXPECT_EQ(answer.load(), kBoxCancel);
    EXPECT_EQ(yes_no.load(), kBoxNo);
    QApplication::processEvents();  // the queued requests run harmlessly afterwards
}

}  // namespace
}  // namespace orlogix::ui
