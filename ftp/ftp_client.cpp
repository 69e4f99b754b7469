#include "ftp/ftp_client.h"

#include "platform/error_text.h"
#include "platform/file_handle.h"
#include "platform/host_lookup.h"
#include "platform/service_port.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <utility>

namespace zel {

namespace {

constexpr std::size_t block_size = 32768;
// A server that drains as fast as blocks go out never makes the socket refuse one: after this
// many bytes the loop lets other events run (the notifier fires again at once).
constexpr std::int64_t bytes_per_turn = 2 << 20;
constexpr int drain_limit_ms = 5000;
constexpr int wait_slice_ms = 1000;
// A reply line longer than this without its LF comes from a broken or hostile server.
constexpr qsizetype longest_reply_line = 64 * 1024;

QEvent::Type request_done_type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class RequestDoneEvent : public QEvent {
public:
    explicit RequestDoneEvent(std::uint16_t code)
        : QEvent(request_done_type())
        , code_(code) {}
    std::uint16_t code() const { return code_; }

private:
    std::uint16_t code_;
};

QString error_text(int error) {
    return QString::fromStdString(platform::error_description(error));
}

QString address_text(std::uint32_t address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

bool is_digit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

TFtpClient::TFtpClient(QObject* parent)
    : QObject(parent) {
    control_.on_writable = [this] { control_writable(); };
    control_.on_readable = [this] { control_readable(); };
    data_.on_writable = [this] { data_writable(); };
    data_.on_readable = [this] { data_readable(); };
    drain_timer_.setSingleShot(true);
    drain_timer_.setInterval(drain_limit_ms);
    idle_timer_.setSingleShot(true);
    connect(&idle_timer_, &QTimer::timeout, this, [this] { idle_expired(); });
    connect(&lookup_notifier_, &QSocketNotifier::activated, this, [this] { lookup_ready(); });
    connect(&drain_timer_, &QTimer::timeout, this, [this] {
        data_.close();
        sending_ended(0);
    });
}

TFtpClient::~TFtpClient() = default;

// ---- commands -------------------------------------------------------------------------------

// What each command is and how its replies move the request on: the final replies that accept
// it, and the handler of each reply that comes while it is the current step.
struct TFtpClient::Command {
    const char* verb;
    std::array<int, 3> accepted; // unused places hold 0, which accepts nothing
    void (TFtpClient::*on_reply)(int code, const QString& line);

    bool accepts(int code) const {
        return code != 0 && std::find(accepted.begin(), accepted.end(), code) != accepted.end();
    }
};

// In the order of `Verb`.
const TFtpClient::Command TFtpClient::commands[] = {
    {"", {220}, &TFtpClient::greeting_reply}, // open: the server's greeting
    {"USER", {331, 230}, &TFtpClient::command_reply},
    {"PASS", {230, 332}, &TFtpClient::command_reply},
    {"CWD", {200, 250, 257}, &TFtpClient::command_reply},
    {"MKD", {200, 250, 257}, &TFtpClient::command_reply},
    {"TYPE", {200}, &TFtpClient::command_reply},
    {"PASV", {200, 227}, &TFtpClient::pasv_reply},
    {"STOR", {226, 250}, &TFtpClient::stor_reply},
    {"SIZE", {213}, &TFtpClient::size_reply},
    {"DELE", {200, 250, 257}, &TFtpClient::command_reply},
    {"RNFR", {350}, &TFtpClient::command_reply},
    {"RNTO", {200, 250, 257}, &TFtpClient::command_reply},
    {"QUIT", {221}, &TFtpClient::quit_reply},
};

const TFtpClient::Command& TFtpClient::command_of(Verb verb) {
    static_assert(std::size(commands) == static_cast<std::size_t>(Verb::quit) + 1);
    return commands[static_cast<std::size_t>(verb)];
}

TFtpClient::Step TFtpClient::step(Verb verb) {
    return {verb, QString::fromLatin1(command_of(verb).verb)};
}

TFtpClient::Step TFtpClient::step(Verb verb, const QString& argument) {
    Step made = step(verb);
    made.line += QLatin1Char(' ') + argument;
    return made;
}

const TFtpClient::Command& TFtpClient::current_command() const {
    return command_of(steps_[step_index_].verb);
}

// ---- requests -------------------------------------------------------------------------------

bool TFtpClient::is_ready() const {
    return state_ == ftpReady || state_ == ftpInternalReady || state_ == ftpPasvReady;
}

// The refused request never had steps of its own. Those of a request still running (one that
// waits for its reply, or an upload between PASV and STOR) stay: cleared, the upload would end
// as a success without STOR and a command's reply would be ignored.
bool TFtpClient::refuse(const QString& text) {
    refused_ = true;
    if (!OnError)
        throw FtpError(text.toStdString());
    QString msg = text;
    const auto handler = OnError; // the handler may replace itself
    handler(*this, msg);
    return false;
}

bool TFtpClient::may_start(bool needs_connection, const QString& not_connected_text) {
    if (!is_ready())
        return refuse(QStringLiteral("FTP component not ready"));
    if (needs_connection && !Connected())
        return refuse(not_connected_text);
    return true;
}

// A CR, LF or NUL inside an argument would end the command line early and let the rest be read
// as a command of its own.
bool TFtpClient::arguments_safe(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument.contains(QLatin1Char('\r')) || argument.contains(QLatin1Char('\n')) ||
            argument.contains(QChar(0)))
            return refuse(QStringLiteral("Invalid character in command argument"));
    }
    return true;
}

void TFtpClient::start_request(TFtpRequest type, std::vector<Step> steps, bool quit_on_failure) {
    request_type_ = type;
    steps_ = std::move(steps);
    step_index_ = 0;
    result_ = 0;
    failed_code_ = 0;
    quit_on_failure_ = quit_on_failure;
    error_message_.clear();
    touch();
    if (timeout_ > 0)
        idle_timer_.start(std::chrono::seconds(timeout_));
    run_step();
}

void TFtpClient::run_step() {
    if (step_index_ >= steps_.size()) {
        end_request(0);
        return;
    }
    if (steps_[step_index_].verb == Verb::open) {
        start_open();
        return;
    }
    state_ = ftpWaitingResponse;
    send_step_line();
}

void TFtpClient::next_step() {
    ++step_index_;
    run_step();
}

void TFtpClient::fail_step(int code) {
    if (quit_on_failure_ && Connected() && failed_code_ == 0 && !steps_.empty() &&
        step_index_ + 1 < steps_.size()) {
        failed_code_ = code;
        step_index_ = steps_.size() - 1; // the closing QUIT
        run_step();
        return;
    }
    end_request(code);
}

void TFtpClient::end_request(int code) {
    if (failed_code_ != 0)
        code = failed_code_;
    state_ = ftpReady;
    idle_timer_.stop();
    drop_data();
    steps_.clear();
    result_ = code;
    QCoreApplication::postEvent(this, new RequestDoneEvent(static_cast<std::uint16_t>(code)));
}

void TFtpClient::customEvent(QEvent* event) {
    if (event->type() != request_done_type())
        return;
    const auto handler = OnRequestDone; // the handler may replace itself
    if (handler)
        handler(*this, request_type_, static_cast<RequestDoneEvent*>(event)->code());
}

void TFtpClient::note_failure(const QString& text) {
    if (error_message_.isEmpty())
        error_message_ = text;
}

void TFtpClient::OpenAsync() {
    if (!may_start(false, {}))
        return;
    if (Connected()) {
        refuse(QStringLiteral("FTP component already connected"));
        return;
    }
    start_request(ftpOpenAsync, {step(Verb::open)});
}

// One command on the open control connection; `empty_refusal` names the refusal of an empty
// argument where one applies.
bool TFtpClient::start_single(TFtpRequest type, Verb verb, const QString& argument,
                              const char* empty_refusal) {
    if (!may_start(true, QStringLiteral("FTP component not connected")))
        return false;
    if (empty_refusal != nullptr && argument.isEmpty())
        return refuse(QString::fromLatin1(empty_refusal));
    if (!arguments_safe({argument}))
        return false;
    start_request(type, {step(verb, argument)});
    return true;
}

void TFtpClient::UserAsync() {
    start_single(ftpUserAsync, Verb::user, user_name_, "UserName empty");
}

void TFtpClient::PassAsync() {
    start_single(ftpPassAsync, Verb::pass, pass_word_, "Password empty");
}

void TFtpClient::CwdAsync() {
    start_single(ftpCwdAsync, Verb::cwd, host_dir_name_, "HostDirName empty");
}

void TFtpClient::MkdAsync() {
    start_single(ftpMkdAsync, Verb::mkd, host_file_name_);
}

void TFtpClient::TypeSetAsync() {
    if (may_start(true, QStringLiteral("FTP component not connected")))
        start_request(ftpTypeSetAsync,
                      {step(Verb::type, binary_ ? QStringLiteral("I") : QStringLiteral("A"))});
}

// The transfer always runs in passive mode: active mode (PORT) is not offered by this engine.
void TFtpClient::PutAsync() {
    if (!may_start(true, QStringLiteral("STOR/APPE: not connected")))
        return;
    if (local_file_name_.isEmpty()) {
        refuse(QStringLiteral("LocalFileName empty"));
        return;
    }
    if (!arguments_safe({host_file_name_}))
        return;
    start_request(ftpPutAsync, {step(Verb::pasv), step(Verb::stor, host_file_name_)});
}

// Without a control connection there is no session to end: QUIT then succeeds at once.
void TFtpClient::QuitAsync() {
    if (!may_start(false, {}))
        return;
    std::vector<Step> steps;
    if (Connected())
        steps.push_back(step(Verb::quit));
    start_request(ftpQuitAsync, std::move(steps));
}

void TFtpClient::AbortAsync() {
    state_ = ftpAbort;
    drop_connections();
    steps_.clear();
    failed_code_ = 0;
    result_ = 0;
    state_ = ftpReady;
}

bool TFtpClient::Size() {
    return wait_sync([this] {
        if (start_single(ftpSizeAsync, Verb::size, host_file_name_))
            size_result_ = 0;
    });
}

bool TFtpClient::Dele() {
    return wait_sync([this] { start_single(ftpDeleAsync, Verb::dele, host_file_name_); });
}

bool TFtpClient::Ren() {
    return wait_sync([this] {
        if (!may_start(true, QStringLiteral("FTP component not connected")))
            return;
        if (local_file_name_.isEmpty()) {
            refuse(QStringLiteral("LocalFileName empty"));
            return;
        }
        if (arguments_safe({host_file_name_, local_file_name_}))
            start_request(ftpRenAsync,
                          {step(Verb::rnfr, host_file_name_), step(Verb::rnto, local_file_name_)});
    });
}

// PASS answered with 332 counts as logged in: the engine holds no account to send with ACCT.
bool TFtpClient::Delete() {
    return wait_sync([this] {
        if (!is_ready()) {
            refuse(QStringLiteral("FTP component not ready"));
            return;
        }
        if (Connected()) {
            refuse(QStringLiteral("FTP component already connected"));
            return;
        }
        if (user_name_.isEmpty()) {
            refuse(QStringLiteral("UserName empty"));
            return;
        }
        if (pass_word_.isEmpty()) {
            refuse(QStringLiteral("Password empty"));
            return;
        }
        if (!arguments_safe({user_name_, pass_word_, host_dir_name_, host_file_name_}))
            return;
        std::vector<Step> steps{step(Verb::open), step(Verb::user, user_name_),
                                step(Verb::pass, pass_word_)};
        if (!host_dir_name_.isEmpty())
            steps.push_back(step(Verb::cwd, host_dir_name_));
        steps.push_back(step(Verb::dele, host_file_name_));
        steps.push_back(step(Verb::quit));
        start_request(ftpDeleteAsync, std::move(steps), true);
    });
}

bool TFtpClient::Quit() {
    return wait_sync([this] { QuitAsync(); });
}

bool TFtpClient::Abort() {
    return wait_sync([this] { AbortAsync(); });
}

void TFtpClient::drop_connections() {
    idle_timer_.stop();
    cancel_lookup();
    data_.abort();
    drop_data();
    control_.abort();
    close_control();
}

void TFtpClient::touch() {
    last_activity_ = std::chrono::steady_clock::now();
}

// The request that waited, as the log shows it (the password hidden).
QString TFtpClient::awaited() const {
    if (step_index_ >= steps_.size())
        return QStringLiteral("the request");
    const Step& step = steps_[step_index_];
    if (step.verb == Verb::open)
        return QStringLiteral("the connection to ") + host_name_;
    if (sending_)
        return QStringLiteral("the data transfer of ") + step.line;
    return step.verb == Verb::pass ? QStringLiteral("PASS ****") : step.line;
}

// A silent server would otherwise keep an asynchronous request, and the chain behind it,
// waiting for ever: after `Timeout` seconds without a sign of life the request ends failed.
void TFtpClient::idle_expired() {
    if (steps_.empty() || timeout_ <= 0 || sync_waiting_)
        return;
    const auto left =
        last_activity_ + std::chrono::seconds(timeout_) - std::chrono::steady_clock::now();
    if (left > std::chrono::steady_clock::duration::zero()) {
        idle_timer_.start(std::chrono::ceil<std::chrono::milliseconds>(left));
        return;
    }
    display(QStringLiteral("! Timeout: no answer within %1 s to %2").arg(timeout_).arg(awaited()));
    if (steps_.empty())
        return; // a display handler ended the request
    drop_connections();
    error_message_ = QStringLiteral("426 Timeout");
    status_code_ = 426;
    end_request(426);
}

bool TFtpClient::wait_sync(const std::function<void()>& start) {
    using clock = std::chrono::steady_clock;
    refused_ = false;
    touch();
    struct SyncWaiting {
        bool& flag;
        bool before;
        ~SyncWaiting() { flag = before; }
    } sync_waiting{sync_waiting_, std::exchange(sync_waiting_, true)};
    try {
        start();
    } catch (const std::exception&) {
        return false;
    }
    if (refused_)
        return false;
    const auto limit = std::chrono::seconds(timeout_);
    QTimer wake;
    wake.setSingleShot(true);
    for (;;) {
        if (state_ == ftpReady || state_ == ftpInternalReady) {
            const bool succeeded = result_ == 0;
            // Deliver this request's own request-done now, while its type is still current.
            QCoreApplication::sendPostedEvents(this, request_done_type());
            return succeeded;
        }
        auto slice = std::chrono::milliseconds(wait_slice_ms);
        if (timeout_ > 0) {
            const auto left = last_activity_ + limit - clock::now();
            if (left <= clock::duration::zero())
                break;
            slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(left));
        }
        wake.start(slice);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    AbortAsync();
    error_message_ = QStringLiteral("426 Timeout");
    status_code_ = 426;
    return false;
}

// ---- control connection ---------------------------------------------------------------------

void TFtpClient::start_open() {
    error_message_.clear();
    status_code_ = 0;
    state_ = ftpDnsLookup;
    cancel_lookup();
    lookup_ = std::make_unique<platform::HostLookup>(host_name_.toStdString());
    if (lookup_->ready_descriptor() < 0) {
        lookup_ready(); // answered at once, without a thread
        return;
    }
    lookup_notifier_.setSocket(lookup_->ready_descriptor());
    lookup_notifier_.setEnabled(true);
}

void TFtpClient::lookup_ready() {
    if (!lookup_)
        return;
    const auto found = lookup_->result();
    if (!found.has_value())
        return; // not yet: the descriptor tells
    cancel_lookup();
    host_found(*found);
}

void TFtpClient::cancel_lookup() {
    lookup_notifier_.setEnabled(false);
    lookup_.reset();
}

void TFtpClient::host_found(const platform::HostLookupResult& found) {
    if (found.error != 0) {
        open_failed(QStringLiteral("500 DNS lookup error - ") +
                        QString::fromStdString(found.description),
                    found.error);
        return;
    }
    const auto port = platform::tcp_service_port(port_.toStdString());
    if (!port) {
        open_failed(QStringLiteral("500 Connect error - unknown port: ") + port_, EINVAL);
        return;
    }
    state_ = ftpWaitingBanner;
    const int error = control_.connect(found.address, *port);
    if (error != 0) {
        connect_failed(error);
        return;
    }
    control_connecting_ = true;
    control_.watch_write(true);
}

// The request ends without a session; `code` is its request-done code.
void TFtpClient::open_failed(const QString& text, int code) {
    status_code_ = 500;
    error_message_ = text;
    end_request(code);
}

void TFtpClient::connect_failed(int error) {
    const QString description = error_text(error);
    close_control();
    open_failed(description.isEmpty() ? QStringLiteral("500 Connect Unknown Error (#%1)").arg(error)
                                      : QStringLiteral("500 Connect error - ") + description,
                error);
}

void TFtpClient::control_writable() {
    if (!control_connecting_) {
        flush_output();
        return;
    }
    control_connecting_ = false;
    const int error = control_.socket().connect_result();
    if (error != 0) {
        connect_failed(error);
        return;
    }
    control_.watch_write(!output_.isEmpty());
    control_.watch_read(true);
}

void TFtpClient::control_readable() {
    std::array<char, 16384> buffer{};
    QString closed_reason;
    bool closed = false;
    for (;;) {
        const auto got = control_.socket().receive(buffer.data(), buffer.size());
        if (got.would_block)
            break;
        if (got.error != 0 || got.bytes == 0) {
            closed = true;
            closed_reason = got.error != 0 ? error_text(got.error)
                                           : QStringLiteral("connection closed by the server");
            break;
        }
        input_.append(buffer.data(), static_cast<qsizetype>(got.bytes));
    }
    // Each line leaves the buffer before it is handled: handlers may run a nested event loop.
    for (qsizetype end = input_.indexOf('\n'); end >= 0; end = input_.indexOf('\n')) {
        const QByteArray line = input_.left(end);
        input_.remove(0, end + 1);
        handle_line(line);
    }
    if (input_.size() > longest_reply_line) {
        control_closed(QStringLiteral("reply line too long"));
        return;
    }
    if (closed)
        control_closed(closed_reason);
}

void TFtpClient::control_closed(const QString& reason) {
    if (!control_.is_open())
        return;
    const bool awaiting =
        state_ == ftpWaitingBanner || state_ == ftpWaitingResponse || state_ == ftpPasvReady;
    close_control();
    if (!awaiting)
        return;
    note_failure(QStringLiteral("500 Control connection closed - ") + reason);
    status_code_ = 500;
    end_request(500);
}

void TFtpClient::close_control() {
    control_.close();
    control_connecting_ = false;
    input_.clear();
    output_.clear();
}

void TFtpClient::handle_line(const QByteArray& raw) {
    qsizetype end = raw.size();
    while (end > 0 && static_cast<unsigned char>(raw[end - 1]) < 0x20)
        --end;
    const QString line = QString::fromLocal8Bit(raw.left(end));
    touch();
    display(QStringLiteral("< ") + line);
    if (line.size() < 3 || !is_digit(line[0]) || !is_digit(line[1]) || !is_digit(line[2]))
        return;
    if (line.size() > 3 && line[3] == QLatin1Char('-'))
        return; // a multi-line reply goes on
    const int code = line.left(3).toInt();
    status_code_ = code;
    if ((state_ == ftpWaitingBanner || state_ == ftpWaitingResponse) && step_index_ < steps_.size())
        (this->*current_command().on_reply)(code, line);
}

// A reply that does not accept the current command is the request's error, unless an earlier
// one already is.
bool TFtpClient::reply_accepts(int code, const QString& line) {
    if (current_command().accepts(code))
        return true;
    note_failure(line);
    return false;
}

void TFtpClient::greeting_reply(int code, const QString& line) {
    if (reply_accepts(code, line)) {
        state_ = ftpConnected;
        next_step();
        return;
    }
    close_control();
    end_request(500);
}

void TFtpClient::command_reply(int code, const QString& line) {
    if (reply_accepts(code, line))
        next_step();
    else
        fail_step(code);
}

void TFtpClient::size_reply(int code, const QString& line) {
    if (!reply_accepts(code, line)) {
        fail_step(code);
        return;
    }
    // The number must be a whole non-negative 64-bit value: a garbled reply is a failure, never
    // a size of 0.
    const QString number = line.mid(4).trimmed().section(QLatin1Char(' '), 0, 0);
    bool ok = !number.isEmpty() && std::all_of(number.begin(), number.end(), is_digit);
    const qlonglong size = ok ? number.toLongLong(&ok) : 0;
    if (!ok) {
        error_message_ = line;
        fail_step(500);
        return;
    }
    size_result_ = size;
    next_step();
}

// QUIT ends the session whatever the server answers.
void TFtpClient::quit_reply(int code, const QString& line) {
    const bool accepted = reply_accepts(code, line);
    state_ = ftpInternalReady;
    close_control();
    end_request(accepted ? 0 : code);
}

void TFtpClient::send_step_line() {
    const Step& step = steps_[step_index_];
    // The password never reaches the display: it would land in a log written to disk.
    display(QStringLiteral("> ") +
            (step.verb == Verb::pass ? QStringLiteral("PASS ****") : step.line));
    if (!control_.is_open())
        return; // a display handler aborted the engine
    output_ += step.line.toLocal8Bit() + "\r\n";
    flush_output();
}

void TFtpClient::flush_output() {
    while (!output_.isEmpty()) {
        const auto sent =
            control_.socket().send(output_.constData(), static_cast<std::size_t>(output_.size()));
        if (sent.would_block) {
            control_.watch_write(true);
            return;
        }
        if (sent.error != 0) {
            control_closed(error_text(sent.error));
            return;
        }
        output_.remove(0, static_cast<qsizetype>(sent.bytes));
    }
    control_.watch_write(false);
}

void TFtpClient::display(const QString& text) {
    const auto handler = OnDisplay;
    if (!handler)
        return;
    QString msg = text;
    handler(*this, msg);
}

// ---- data connection ------------------------------------------------------------------------

void TFtpClient::pasv_reply(int code, const QString& line) {
    if (!reply_accepts(code, line)) {
        fail_step(code);
        return;
    }
    state_ = ftpPasvReady;
    if (!open_local_file()) {
        end_request(426);
        return;
    }
    static const QRegularExpression fields(
        QStringLiteral("([0-9]+),([0-9]+),([0-9]+),([0-9]+),([0-9]+),([0-9]+)"));
    const auto match = fields.match(line, 3);
    std::array<int, 6> numbers{};
    bool valid = match.hasMatch();
    for (int i = 0; valid && i < 6; ++i) {
        numbers[i] = match.captured(i + 1).toInt(&valid);
        valid = valid && numbers[i] <= 255;
    }
    const int port = numbers[4] * 256 + numbers[5];
    if (!valid || port == 0) {
        data_failed(QStringLiteral("invalid passive mode reply"));
        return;
    }
    const std::uint32_t announced = static_cast<std::uint32_t>(numbers[0]) << 24 |
                                    static_cast<std::uint32_t>(numbers[1]) << 16 |
                                    static_cast<std::uint32_t>(numbers[2]) << 8 |
                                    static_cast<std::uint32_t>(numbers[3]);
    // The data connection goes where the control connection goes: a reply that names another
    // host could make this client connect anywhere. A control connection whose peer is gone
    // has no address to go to (and 0.0.0.0 would reach this machine).
    const std::uint32_t peer = control_.socket().peer_address();
    if (peer == 0) {
        data_failed(QStringLiteral("the control connection's peer is unknown"));
        return;
    }
    if (announced != peer)
        display(QStringLiteral("! PASV address %1 ignored, data connection to %2")
                    .arg(address_text(announced), address_text(peer)));
    if (state_ != ftpPasvReady)
        return; // a display handler aborted the engine
    const int error = data_.connect(peer, static_cast<std::uint16_t>(port));
    if (error != 0) {
        data_failed(error_text(error));
        return;
    }
    data_connecting_ = true;
    data_.watch_write(true);
}

bool TFtpClient::open_local_file() {
    block_.resize(block_size);
    if (source_) {
        if (const QString failure = source_->failure(); !failure.isEmpty()) {
            note_failure(QStringLiteral("Unable to open local file ") + local_file_name_ +
                         QStringLiteral(": ") + failure);
            return false;
        }
        source_->on_changed = [this] { source_changed(); };
        send_descriptor_ = source_->descriptor();
        return true;
    }
    local_file_.setFileName(local_file_name_);
    if (!local_file_.open(QIODevice::ReadOnly)) {
        note_failure(QStringLiteral("Unable to open local file ") + local_file_name_ +
                     QStringLiteral(": ") + local_file_.errorString());
        return false;
    }
    send_descriptor_ = local_file_.handle();
    return true;
}

void TFtpClient::data_failed(const QString& reason) {
    note_failure(QStringLiteral("Unable to establish data connection - ") + reason);
    end_request(550);
}

void TFtpClient::data_writable() {
    if (data_connecting_) {
        data_connecting_ = false;
        const int error = data_.socket().connect_result();
        if (error != 0) {
            data_failed(error_text(error));
            return;
        }
        data_.watch_write(false);
        next_step(); // STOR
        return;
    }
    if (!sending_) {
        data_.watch_write(false);
        return;
    }
    // Blocks go out while the socket takes them, so one notification fills the socket's buffer
    // instead of leaving it to drain between events. A block the socket took only in part is
    // finished before the next one is announced and read.
    const std::int64_t turn_end = sent_ + bytes_per_turn;
    while (sending_ && sent_ < turn_end) {
        if (block_sent_ == block_length_ && !read_next_block())
            return;
        const auto result =
            data_.socket().send(block_.data() + block_sent_, block_length_ - block_sent_);
        if (result.would_block)
            return;
        if (result.error != 0) {
            sending_ended(result.error);
            return;
        }
        block_sent_ += static_cast<std::size_t>(result.bytes);
        sent_ += result.bytes;
    }
}

// Announces the bytes sent so far by a progress event, then reads the next block into the
// buffer; false when sending ends or waits here. The block is copied out of the file rather
// than handed to the kernel by reference (sendfile): a receiver on this machine then frees a
// few large buffers instead of a page-cache reference for every 4 KiB, which made the server
// spend half again as long on each byte. Of a source still filling only what it holds is
// read; its next change resumes.
bool TFtpClient::read_next_block() {
    // Whole first: a copy that ends between the two reads then still counts its last bytes.
    const bool whole = !source_ || source_->complete();
    const std::int64_t available =
        source_ ? source_->available() : std::numeric_limits<std::int64_t>::max();
    if (!whole && sent_ >= available) {
        if (!source_->failure().isEmpty())
            local_failure();
        else
            data_.watch_write(false);
        return false;
    }
    bool abort = false;
    if (const auto handler = OnProgress64)
        handler(*this, sent_, abort);
    if (abort) {
        AbortAsync();
        return false;
    }
    touch();
    if (!sending_)
        return false; // the handler ended the transfer
    if (sent_ >= available) {
        start_drain(); // the whole source is sent
        return false;
    }
    const auto wanted =
        static_cast<std::size_t>(std::min<std::int64_t>(block_size, available - sent_));
    const std::int64_t got = platform::read_file_at(
        send_descriptor_, std::as_writable_bytes(std::span(block_.data(), wanted)), sent_);
    if (got < 0) {
        const int error = platform::last_error();
        note_failure(QStringLiteral("426 Unable to read local file - ") + error_text(error));
        sending_ended(error);
        return false;
    }
    if (got == 0) {
        start_drain(); // the file ended early: the size check tells
        return false;
    }
    block_length_ = static_cast<std::size_t>(got);
    block_sent_ = 0;
    return true;
}

void TFtpClient::source_changed() {
    touch();
    if (!sending_)
        return;
    if (!source_->failure().isEmpty())
        local_failure();
    else
        data_.watch_write(true);
}

// The file to send will never be whole: the transfer is cut (the server keeps no file that
// looks complete) and ends failed once the server has answered for it.
void TFtpClient::local_failure() {
    note_failure(QStringLiteral("426 Local file copy failed - ") + source_->failure());
    sending_ended(ECANCELED);
}

// Everything is handed to the kernel: end the sending direction and wait (bounded) for the
// server to close its side, so that no unsent byte is lost to a reset.
void TFtpClient::start_drain() {
    sending_ = false;
    data_.watch_write(false);
    data_.socket().shutdown_send();
    data_.watch_read(true);
    drain_timer_.start();
}

void TFtpClient::data_readable() {
    std::array<char, 4096> buffer{};
    for (;;) {
        const auto got = data_.socket().receive(buffer.data(), buffer.size());
        if (got.would_block)
            return;
        if (got.error != 0 || got.bytes == 0) {
            drain_timer_.stop();
            data_.close();
            sending_ended(got.error);
            return;
        }
    }
}

void TFtpClient::sending_ended(int error) {
    sending_ = false;
    sending_ended_ = true;
    if (error != 0) {
        send_error_ = error;
        data_.abort();
    }
    finish_stor();
}

void TFtpClient::stor_reply(int code, const QString& line) {
    if (!stor_started_) {
        if (code == 150 || code == 125) {
            stor_started_ = true;
            sending_ = true;
            sent_ = 0;
            touch();
            data_.watch_write(true);
            return;
        }
        note_failure(line);
        end_request(code);
        return;
    }
    if (code < 200)
        return; // a further preliminary line
    if (current_command().accepts(code)) {
        stor_final_ok_ = true;
        finish_stor();
        return;
    }
    note_failure(line);
    display(QStringLiteral("! STOR Failed"));
    end_request(code);
}

// The store succeeds only once the final reply and the end of sending have both arrived.
void TFtpClient::finish_stor() {
    if (!sending_ended_ || !stor_final_ok_)
        return;
    if (send_error_ != 0) {
        note_failure(QStringLiteral("426 Data connection lost - ") + error_text(send_error_));
        end_request(426);
        return;
    }
    end_request(0);
}

void TFtpClient::drop_data() {
    drain_timer_.stop();
    data_.close();
    data_connecting_ = false;
    local_file_.close();
    if (source_)
        source_->on_changed = nullptr;
    send_descriptor_ = -1;
    sent_ = 0;
    block_length_ = 0;
    block_sent_ = 0;
    stor_started_ = false;
    sending_ = false;
    sending_ended_ = false;
    send_error_ = 0;
    stor_final_ok_ = false;
}

} // namespace zel
