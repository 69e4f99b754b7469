#include "ftp/socket_channel.h"

namespace zel {

SocketChannel::SocketChannel() {
    QObject::connect(&read_notifier_, &QSocketNotifier::activated, [this] {
        if (on_readable)
            on_readable();
    });
    QObject::connect(&write_notifier_, &QSocketNotifier::activated, [this] {
        if (on_writable)
            on_writable();
    });
}

int SocketChannel::connect(std::uint32_t address, std::uint16_t port) {
    close();
    const int error = socket_.connect(address, port);
    if (error != 0) {
        socket_.close();
        return error;
    }
    read_notifier_.setSocket(socket_.descriptor());
    write_notifier_.setSocket(socket_.descriptor());
    return 0;
}

// Notifiers stop watching before the descriptor is closed, so a reused number is never watched.
void SocketChannel::unwatch() {
    read_notifier_.setEnabled(false);
    write_notifier_.setEnabled(false);
}

void SocketChannel::close() {
    unwatch();
    socket_.close();
}

void SocketChannel::abort() {
    unwatch();
    socket_.abort();
}

} // namespace zel
