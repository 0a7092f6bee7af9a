// "Server": the port field's refusals, a start that shows the bound port,
// rows filled from the server's snapshots, and Close only after the question.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>

#include "support/recording_reporter.hpp"
#include "ui/server_dialog.hpp"
#include "window_fixture.hpp"

namespace orlogix::ui {
namespace {

struct ServerDialogTest : test::WindowTest {
    orlogix::test::RecordingReporter r;
};

TEST_F(ServerDialogTest, PortRefusalsThenRowsFromSnapshotsAndCloseAfterTheQuestion) {
    ServerDialog d(r);
    EXPECT_EQ(d.port->text(), "61234");
    const std::pair<const char*, const char*> refusals[] = {
        {"", "Missing port input"}, {"6x", "Bad port input"}, {"65536", "Port out of range"}};
    for (const auto& [text, error] : refusals) {
        d.port->setText(text);
        d.start();
        EXPECT_EQ(r.last_error().title, "Start server");
        EXPECT_EQ(r.last_error().text, error);
    }
    d.port->setText("0");
    d.start();
    const int port = d.server().port();
    ASSERT_GT(port, 0);
    EXPECT_EQ(d.status->text(), QString("Listening on port %1").arg(port));

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    for (int i = 0; i < 200 && d.rows[0].status->text().isEmpty(); ++i) QTest::qWait(10);
    EXPECT_EQ(d.rows[0].address->text(), "127.0.0.1");
    EXPECT_EQ(d.rows[0].status->text(), "Waiting for command");
    EXPECT_TRUE(d.rows[1].status->text().isEmpty());

    // Cancel keeps the server and its connection; Ok closes both.
    r.queue_answer(kBoxCancel);
    d.reject();
    EXPECT_EQ(d.server().port(), port);
    r.queue_answer(kBoxOk);
    d.reject();
    EXPECT_EQ(d.server().port(), 0);
    char byte = 0;
    EXPECT_EQ(::recv(fd, &byte, 1, 0), 0);   // the server closed the connection
    ::close(fd);
}

}  // namespace
}  // namespace orlogix::ui
