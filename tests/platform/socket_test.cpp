// The socket service against real sockets on the loopback interface.
#include "platform/moux_unix_socket.h"
#include "support/bundle.h"
#include "support/util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using testing::HasSubstr;

// A listening socket on 127.0.0.1 with a kernel-chosen port.
struct Listener {
    int fd = -1;
    int port = 0;
    Listener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof(a));
        socklen_t len = sizeof(a);
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
    }
    void listen_now() { listen(fd, 4); }
    ~Listener() {
        if (fd >= 0)
            close(fd);
    }
};

// Reads everything the peer sends until it closes.
std::string read_all(int fd) {
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0)
        out.append(buf, static_cast<size_t>(n));
    return out;
}

struct SocketTest : ::testing::Test {
    mot_test::Bundle b;
    MOSK_SOCK_T *sock = nullptr;
    void SetUp() override { ASSERT_EQ(mosk_socket_construct(&sock, b.low, &moux_socket_slots), 0); }
    int open(void **conn, int type, const char *host, int port) {
        *conn = nullptr;
        return sock->open_connection(sock, conn, type, host, port);
    }
};

TEST_F(SocketTest, LinesBothWaysOverALoopbackConnection) {
    Listener l;
    l.listen_now();
    std::string received;
    std::thread server([&] {
        int c = accept(l.fd, nullptr, nullptr);
        const char greeting[] = "220 ready\r\nsecond line\nno end";
        send(c, greeting, sizeof(greeting) - 1, 0);
        shutdown(c, SHUT_WR);
        received = read_all(c);
        close(c);
    });
    void *conn = nullptr;
    ASSERT_EQ(open(&conn, MOSK_TCP_CLIENT, "127.0.0.1", l.port), 0);
    char buf[64];
    mo_boolean_t eof = TRUE;
    ASSERT_EQ(sock->read_line(sock, conn, buf, sizeof(buf), &eof), 0);
    EXPECT_STREQ(buf, "220 ready\r\n");
    EXPECT_FALSE(eof);
    // A small buffer takes size minus one characters; the rest of the line follows next time.
    ASSERT_EQ(sock->read_line(sock, conn, buf, 5, &eof), 0);
    EXPECT_STREQ(buf, "seco");
    ASSERT_EQ(sock->read_line(sock, conn, buf, sizeof(buf), &eof), 0);
    EXPECT_STREQ(buf, "nd line\n");
    ASSERT_EQ(sock->read_line(sock, conn, buf, sizeof(buf), &eof), 0);
    EXPECT_STREQ(buf, "no end") << "a last line without line feed is not lost";
    EXPECT_FALSE(eof);
    ASSERT_EQ(sock->read_line(sock, conn, buf, sizeof(buf), &eof), 0);
    EXPECT_TRUE(eof);
    EXPECT_STREQ(buf, "");
    ASSERT_EQ(sock->write_line(sock, conn, "HELO %s\r\n", "example.com"), 0);
    ASSERT_EQ(sock->write_line(sock, conn, "%d %s\r\n", 250, "OK"), 0);
    ASSERT_EQ(sock->end_connection(sock, conn), 0);
    server.join();
    EXPECT_EQ(received, "HELO example.com\r\n250 OK\r\n");
    EXPECT_EQ(sock->end_connection(sock, conn), 0) << "a closed connection is not closed twice";
}

TEST_F(SocketTest, HostNameIsResolved) {
    Listener l;
    l.listen_now();
    std::thread server([&] {
        int c = accept(l.fd, nullptr, nullptr);
        close(c);
    });
    void *conn = nullptr;
    ASSERT_EQ(open(&conn, MOSK_TCP_CLIENT, "localhost", l.port), 0);
    server.join();
    EXPECT_EQ(sock->end_connection(sock, conn), 0);
}

TEST_F(SocketTest, WriteLineSendsAtMost1023Characters) {
    Listener l;
    l.listen_now();
    std::string received;
    std::thread server([&] {
        int c = accept(l.fd, nullptr, nullptr);
        received = read_all(c);
        close(c);
    });
    void *conn = nullptr;
    ASSERT_EQ(open(&conn, MOSK_TCP_CLIENT, "127.0.0.1", l.port), 0);
    std::string big(3000, 'm');
    ASSERT_EQ(sock->write_line(sock, conn, "%s\r\n", big.c_str()), 0);
    sock->end_connection(sock, conn);
    server.join();
    EXPECT_EQ(received, std::string(1023, 'm'));
}

TEST_F(SocketTest, RefusedPortIsTriedAndReportedOnce) {
    Listener l; // bound but not listening: connections are refused
    void *conn = nullptr;
    int ret = 0;
    std::string err =
        mot_test::capture_stderr([&] { ret = open(&conn, MOSK_TCP_CLIENT, "127.0.0.1", l.port); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't connect to (127.0.0.1) : Connection refused\n"));
    EXPECT_EQ(err.find("Error:"), err.rfind("Error:")) << "reported once: " << err;
}

TEST_F(SocketTest, UnknownTypeAndUnknownHostAreReported) {
    void *conn = nullptr;
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] { ret = open(&conn, 2, "127.0.0.1", 25); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Connection type (2) is not defined in open_connect function\n"));
    err = mot_test::capture_stderr([&] { ret = open(&conn, MOSK_TCP_CLIENT, "no-such-host.invalid", 25); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't find address (no-such-host.invalid) : "));
    // An empty mail server setting fails in the lookup, not by reaching this machine.
    err = mot_test::capture_stderr([&] { ret = open(&conn, MOSK_TCP_CLIENT, "", 25); });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't find address () : "));
    EXPECT_EQ(conn, nullptr);
}

TEST_F(SocketTest, WritingToAClosedPeerFailsWithoutKillingTheProcess) {
    Listener l;
    l.listen_now();
    std::thread server([&] {
        int c = accept(l.fd, nullptr, nullptr);
        close(c);
    });
    void *conn = nullptr;
    ASSERT_EQ(open(&conn, MOSK_TCP_CLIENT, "127.0.0.1", l.port), 0);
    server.join();
    int ret = 0;
    std::string err = mot_test::capture_stderr([&] {
        // The first write may still be accepted by the kernel; a later one meets the reset peer.
        for (int i = 0; i < 50 && ret == 0; i++) {
            ret = sock->write_line(sock, conn, "DATA %d\r\n", i);
            usleep(2000);
        }
    });
    EXPECT_EQ(ret, 1);
    EXPECT_THAT(err, HasSubstr("Can't write to socket : "));
    sock->end_connection(sock, conn);
}

} // namespace
