#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::platform {

// Outcome of one non-blocking transfer call: `bytes` moved, or `error` (an errno value).
// `would_block` is set when the call could not proceed now; try again on the next notification.
struct IoResult {
    std::int64_t bytes = 0;
    int error = 0;
    bool would_block = false;
};

// Makes the close of a connected socket a reset: unsent data is dropped and the peer sees
// ECONNRESET instead of an orderly end.
void reset_on_close(int descriptor);

// A non-blocking IPv4 TCP client socket. Addresses are in host byte order.
// The buffers keep the operating system's defaults so that TCP autotuning stays on.
class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Starts a connection; 0 when it is established or in progress (wait until writable, then
    // read `connect_result`), else the errno value. Closes a socket that was open.
    int connect(std::uint32_t address, std::uint16_t port);
    // The outcome of a connection in progress: 0 when it is established, else the errno value.
    int connect_result() const;

    IoResult send(const char* data, std::size_t size);
    IoResult receive(char* buffer, std::size_t size);

    // Ends the sending direction (the peer reads end of stream); receiving goes on.
    void shutdown_send();
    // Drops the connection at once, discarding unsent data (the peer sees a reset).
    void abort();
    void close();

    bool is_open() const { return descriptor_ >= 0; }
    int descriptor() const { return descriptor_; }
    std::uint32_t peer_address() const;

private:
    int descriptor_ = -1;
};

} // namespace zel::platform
