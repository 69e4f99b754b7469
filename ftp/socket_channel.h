#pragma once

#include "platform/tcp_socket.h"

#include <QSocketNotifier>

#include <functional>

namespace zel {

// A non-blocking TCP connection whose readiness arrives as events on the owning thread's event
// loop, one at a time. The callbacks may close the channel.
class SocketChannel {
public:
    SocketChannel();
    SocketChannel(const SocketChannel&) = delete;
    SocketChannel& operator=(const SocketChannel&) = delete;
    ~SocketChannel() { close(); }

    std::function<void()> on_readable;
    std::function<void()> on_writable;

    // 0 when the connection is established or in progress (writable then tells), else errno.
    int connect(std::uint32_t address, std::uint16_t port);
    void watch_read(bool on) { read_notifier_.setEnabled(on && is_open()); }
    void watch_write(bool on) { write_notifier_.setEnabled(on && is_open()); }
    void close();
    // Drops the connection with a reset, discarding unsent data.
    void abort();

    bool is_open() const { return socket_.is_open(); }
    platform::TcpSocket& socket() { return socket_; }

private:
    void unwatch();

    platform::TcpSocket socket_;
    QSocketNotifier read_notifier_{QSocketNotifier::Read};
    QSocketNotifier write_notifier_{QSocketNotifier::Write};
};

} // namespace zel
