#include "platform/tcp_socket.h"

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zel::platform {

namespace {

IoResult result_of(ssize_t count) {
    if (count >= 0)
        return {count, 0, false};
    const int error = errno;
    return {0, error, error == EAGAIN || error == EWOULDBLOCK || error == EINTR};
}

} // namespace

TcpSocket::~TcpSocket() {
    close();
}

int TcpSocket::connect(std::uint32_t address, std::uint16_t port) {
    close();
    descriptor_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (descriptor_ < 0)
        return errno;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(address);
    if (::connect(descriptor_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 ||
        errno == EINPROGRESS)
        return 0;
    return errno;
}

int TcpSocket::connect_result() const {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(descriptor_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

IoResult TcpSocket::send(const char* data, std::size_t size) {
    return result_of(::send(descriptor_, data, size, MSG_NOSIGNAL));
}

IoResult TcpSocket::receive(char* buffer, std::size_t size) {
    return result_of(::recv(descriptor_, buffer, size, 0));
}

void TcpSocket::shutdown_send() {
    if (descriptor_ >= 0)
        ::shutdown(descriptor_, SHUT_WR);
}

void reset_on_close(int descriptor) {
    const linger reset{1, 0};
    ::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

void TcpSocket::abort() {
    if (descriptor_ < 0)
        return;
    reset_on_close(descriptor_);
    close();
}

void TcpSocket::close() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

std::uint32_t TcpSocket::peer_address() const {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(descriptor_, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return 0;
    return ntohl(peer.sin_addr.s_addr);
}

} // namespace zel::platform
