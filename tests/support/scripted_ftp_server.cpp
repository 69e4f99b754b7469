#include "tests/support/scripted_ftp_server.h"

#include "platform/tcp_socket.h"

#include <QTcpSocket>

namespace zel::test {

struct ScriptedFtpServer::Session {
    QTcpSocket* control = nullptr;
    QByteArray input;
    QByteArray folder;
    QByteArray rename_from;
    std::unique_ptr<QTcpServer> data_listener;
    QTcpSocket* data = nullptr;
    QByteArray store_path; // set while a STOR receives
    QByteArray received;
    bool storing = false;
};

ScriptedFtpServer::ScriptedFtpServer() {
    listener_.listen(QHostAddress::LocalHost, 0);
    connect(&listener_, &QTcpServer::newConnection, this, &ScriptedFtpServer::accept_control);
}

ScriptedFtpServer::~ScriptedFtpServer() {
    for (auto& session : sessions_) {
        if (session->data != nullptr)
            session->data->disconnect(this);
        session->control->disconnect(this);
    }
}

void ScriptedFtpServer::accept_control() {
    while (QTcpSocket* socket = listener_.nextPendingConnection()) {
        auto session = std::make_unique<Session>();
        session->control = socket;
        Session* raw = session.get();
        sessions_.push_back(std::move(session));
        ++sessions_opened;
        connect(socket, &QTcpSocket::readyRead, this, [this, raw] {
            raw->input += raw->control->readAll();
            for (qsizetype end = raw->input.indexOf('\n'); end >= 0;
                 end = raw->input.indexOf('\n')) {
                const QByteArray line = raw->input.left(end).trimmed();
                raw->input.remove(0, end + 1);
                commands.append(line);
                serve_line(*raw, line);
            }
        });
        socket->write(greeting_unended ? greeting : greeting + "\r\n");
    }
}

QByteArray ScriptedFtpServer::path_of(const Session& session, const QByteArray& name) const {
    if (name.startsWith('/'))
        return name.mid(1);
    return session.folder.isEmpty() ? name : session.folder + '/' + name;
}

void ScriptedFtpServer::serve_line(Session& session, const QByteArray& line) {
    const qsizetype blank = line.indexOf(' ');
    const QByteArray verb = (blank < 0 ? line : line.left(blank)).toUpper();
    const QByteArray argument = blank < 0 ? QByteArray() : line.mid(blank + 1);
    auto reply = [this, &session, &verb](const QByteArray& text) {
        session.control->write(text + "\r\n");
        if (verb != reset_after)
            return;
        session.control->flush();
        platform::reset_on_close(static_cast<int>(session.control->socketDescriptor()));
        session.control->abort();
    };

    if (verb == "PASV")
        open_passive(session);
    if (replies.contains(verb)) {
        QByteArray text = replies.value(verb);
        if (text.isEmpty())
            return; // silent from here on
        if (verb == "PASV" && session.data_listener) {
            const quint16 port = session.data_listener->serverPort();
            text.replace("{p1}", QByteArray::number(port >> 8));
            text.replace("{p2}", QByteArray::number(port & 0xFF));
        }
        if (verb == "STOR" && session.data != nullptr)
            session.data->abort();
        reply(text);
        if (verb == "QUIT")
            session.control->disconnectFromHost();
        return;
    }

    if (verb == "USER")
        reply("331 password please");
    else if (verb == "PASS")
        reply("230 logged in");
    else if (verb == "CWD") {
        session.folder = argument == "/" ? QByteArray() : path_of(session, argument);
        reply("250 folder changed");
    } else if (verb == "MKD")
        reply("257 \"" + argument + "\" created");
    else if (verb == "TYPE")
        reply("200 type set");
    else if (verb == "PASV") {
        quint16 port = session.data_listener->serverPort();
        if (refuse_data) {
            port = session.data_listener->serverPort();
            session.data_listener.reset(); // nobody listens there any more
        }
        reply("227 Entering Passive Mode (" + pasv_address + ',' + QByteArray::number(port >> 8) +
              ',' + QByteArray::number(port & 0xFF) + ')');
    } else if (verb == "STOR") {
        session.store_path = path_of(session, argument);
        session.received.clear();
        session.storing = true;
        reply("150 opening data connection");
        if (session.data != nullptr && session.data->state() != QAbstractSocket::ConnectedState)
            store_ended(session, false);
    } else if (verb == "SIZE") {
        const QByteArray path = path_of(session, argument);
        if (files.contains(path))
            reply("213 " +
                  QByteArray::number(reported_sizes.value(path, files.value(path).size())));
        else
            reply("550 no such file");
    } else if (verb == "RNFR") {
        session.rename_from = path_of(session, argument);
        reply(files.contains(session.rename_from) ? "350 ready for RNTO" : "550 no such file");
    } else if (verb == "RNTO") {
        files.insert(path_of(session, argument), files.take(session.rename_from));
        reply("250 renamed");
    } else if (verb == "DELE")
        reply(files.remove(path_of(session, argument)) > 0 ? "250 deleted" : "550 no such file");
    else if (verb == "QUIT") {
        reply("221 bye");
        session.control->disconnectFromHost();
    } else
        reply("502 not implemented");
}

void ScriptedFtpServer::open_passive(Session& session) {
    session.data = nullptr;
    session.data_listener = std::make_unique<QTcpServer>();
    session.data_listener->listen(QHostAddress::LocalHost, 0);
    Session* raw = &session;
    connect(session.data_listener.get(), &QTcpServer::newConnection, this, [this, raw] {
        QTcpSocket* data = raw->data_listener->nextPendingConnection();
        if (data == nullptr)
            return;
        raw->data = data;
        if (data_stalls) {
            data->setReadBufferSize(1); // the kernel's buffers fill, then the sender waits
            return;
        }
        data->setReadBufferSize(data_read_limit);
        connect(data, &QTcpSocket::readyRead, this, [this, raw, data] {
            if (raw->data != data)
                return;
            raw->received += data->readAll();
            if (drop_data_after >= 0 && raw->received.size() >= drop_data_after) {
                data->abort();
                store_ended(*raw, true);
            }
        });
        connect(data, &QTcpSocket::disconnected, this, [this, raw, data] {
            if (raw->data == data)
                store_ended(*raw, false);
        });
    });
}

void ScriptedFtpServer::store_ended(Session& session, bool dropped) {
    if (session.data != nullptr) {
        if (session.data->isOpen())
            session.received += session.data->readAll();
        session.data->disconnect(this);
        session.data->close();
    }
    session.data = nullptr;
    if (!session.storing)
        return;
    session.storing = false;
    files.insert(session.store_path, session.received);
    session.control->write(dropped ? "426 connection closed; transfer aborted\r\n"
                                   : "226 transfer complete\r\n");
}

} // namespace zel::test
