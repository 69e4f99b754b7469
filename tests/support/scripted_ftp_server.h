#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <memory>
#include <vector>

class QTcpSocket;

namespace zel::test {

// A small FTP server of our own, in the test's thread, for what a real server will not do. By
// default it behaves like a plain server with an in-memory file store (USER, PASS, CWD, MKD,
// TYPE, PASV, STOR, SIZE, RNFR, RNTO, DELE, QUIT); `replies` overrides the answer to a command.
class ScriptedFtpServer : public QObject {
public:
    ScriptedFtpServer();
    ~ScriptedFtpServer() override;
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    quint16 port() const { return listener_.serverPort(); }

    // The first line sent on a new connection, ended by CR LF unless `greeting_unended`.
    QByteArray greeting = "220 scripted server ready";
    bool greeting_unended = false;
    // Verb (upper case) -> the reply line sent instead of the usual handling. An empty reply
    // means the server stops answering. In a PASV reply "{p1}" and "{p2}" are replaced by the
    // two bytes of the data port.
    QHash<QByteArray, QByteArray> replies;
    // The address written into the 227 reply.
    QByteArray pasv_address = "127,0,0,1";
    // PASV names a port on which nobody listens.
    bool refuse_data = false;
    // Close the data connection with a reset once this many bytes have arrived (-1: never),
    // then answer 426.
    qint64 drop_data_after = -1;
    // The data connection is accepted but never read: the client's sending stalls.
    bool data_stalls = false;
    // At most this many bytes of the data connection are read at a time (0: no limit): a slow
    // reader, whose socket takes the client's blocks in parts.
    qint64 data_read_limit = 0;
    // After replying to this verb the control connection is reset (the peer is gone at once).
    QByteArray reset_after;

    // Path ("name" or "folder/name") -> the size that SIZE reports for it instead of the true one.
    QHash<QByteArray, qint64> reported_sizes;

    // Every command line received, in order, on every connection.
    QList<QByteArray> commands;
    // The stored files, by path ("name" in the root, "folder/name" in a folder).
    QHash<QByteArray, QByteArray> files;
    int sessions_opened = 0;

private:
    struct Session;
    void accept_control();
    void serve_line(Session& session, const QByteArray& line);
    void open_passive(Session& session);
    void store_ended(Session& session, bool dropped);
    QByteArray path_of(const Session& session, const QByteArray& name) const;

    QTcpServer listener_;
    std::vector<std::unique_ptr<Session>> sessions_;
};

} // namespace zel::test
