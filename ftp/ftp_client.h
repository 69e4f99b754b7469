#pragma once

#include "ftp/ftp_request.h"
#include "ftp/socket_channel.h"
#include "ftp/upload_source.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace zel {

namespace platform {
class HostLookup;
struct HostLookupResult;
} // namespace platform

// Seconds of silence a request waits through unless SetTimeout says otherwise.
inline constexpr int default_ftp_timeout_s = 15;

// A request refused locally while no OnError handler is set.
class FtpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Event-driven FTP client for the upload path: one control connection, one passive data
// connection, both served by the event loop of the thread that owns the object. Each
// asynchronous request ends in exactly one OnRequestDone, delivered through a posted event once
// the engine is ready again; the synchronous requests start the same request and keep
// dispatching events while they wait, so handlers may run nested inside them.
class TFtpClient : public QObject {
public:
    using RequestDoneHandler =
        std::function<void(TFtpClient& sender, TFtpRequest rq_type, std::uint16_t err_code)>;
    using ProgressHandler =
        std::function<void(TFtpClient& sender, std::int64_t count, bool& abort)>;
    using MessageHandler = std::function<void(TFtpClient& sender, QString& msg)>;

    explicit TFtpClient(QObject* parent = nullptr);
    ~TFtpClient() override;
    TFtpClient(const TFtpClient&) = delete;
    TFtpClient& operator=(const TFtpClient&) = delete;

    const QString& HostName() const { return host_name_; }
    void SetHostName(const QString& value) { host_name_ = value; }
    const QString& Port() const { return port_; }
    void SetPort(const QString& value) { port_ = value; }
    const QString& UserName() const { return user_name_; }
    void SetUserName(const QString& value) { user_name_ = value; }
    const QString& PassWord() const { return pass_word_; }
    void SetPassWord(const QString& value) { pass_word_ = value; }
    const QString& HostDirName() const { return host_dir_name_; }
    void SetHostDirName(const QString& value) { host_dir_name_ = value; }
    const QString& HostFileName() const { return host_file_name_; }
    void SetHostFileName(const QString& value) { host_file_name_ = value; }
    const QString& LocalFileName() const { return local_file_name_; }
    void SetLocalFileName(const QString& value) { local_file_name_ = value; }
    bool Binary() const { return binary_; }
    void SetBinary(bool value) { binary_ = value; }
    bool Passive() const { return passive_; }
    void SetPassive(bool value) { passive_ = value; }
    // Limit in seconds of the silence a request waits through: for a synchronous request its
    // whole wait, for an asynchronous one the time since the last reply line, progress event or
    // change of the upload source. 0 or less waits without limit.
    int Timeout() const { return timeout_; }
    void SetTimeout(int seconds) { timeout_ = seconds; }
    // What STOR sends instead of opening LocalFileName; null goes back to LocalFileName.
    void SetLocalSource(std::shared_ptr<IUploadSource> source) { source_ = std::move(source); }

    bool Connected() const { return control_.is_open(); }
    std::int64_t SizeResult() const { return size_result_; }
    const QString& ErrorMessage() const { return error_message_; }
    int StatusCode() const { return status_code_; }
    TFtpState State() const { return state_; }
    TFtpRequest RequestType() const { return request_type_; }

    RequestDoneHandler OnRequestDone;
    ProgressHandler OnProgress64;
    MessageHandler OnDisplay;
    MessageHandler OnError;

    void OpenAsync();
    void UserAsync();
    void PassAsync();
    void CwdAsync();
    void MkdAsync();
    void TypeSetAsync();
    void PutAsync();
    void QuitAsync();
    void AbortAsync();

    bool Size();
    bool Dele();
    bool Ren();
    bool Delete();
    bool Quit();
    bool Abort();

protected:
    void customEvent(QEvent* event) override;

private:
    // The commands the engine sends, each a row of `commands`; `open` stands for the connection
    // and its greeting.
    enum class Verb : std::uint8_t {
        open,
        user,
        pass,
        cwd,
        mkd,
        type,
        pasv,
        stor,
        size,
        dele,
        rnfr,
        rnto,
        quit,
    };
    struct Command;
    static const Command commands[];
    struct Step {
        Verb verb;
        QString line; // the command line as sent, without CR LF
    };

    static const Command& command_of(Verb verb);
    static Step step(Verb verb);
    static Step step(Verb verb, const QString& argument);
    const Command& current_command() const;
    bool is_ready() const;
    bool refuse(const QString& text);
    bool may_start(bool needs_connection, const QString& not_connected_text);
    bool arguments_safe(const QStringList& arguments);
    bool start_single(TFtpRequest type, Verb verb, const QString& argument,
                      const char* empty_refusal = nullptr);
    void start_request(TFtpRequest type, std::vector<Step> steps, bool quit_on_failure = false);
    void run_step();
    void next_step();
    void fail_step(int code);
    void end_request(int code);
    bool wait_sync(const std::function<void()>& start);
    void touch();
    void idle_expired();
    QString awaited() const;
    void drop_connections();

    void start_open();
    void lookup_ready();
    void host_found(const platform::HostLookupResult& found);
    void cancel_lookup();
    void open_failed(const QString& text, int code);
    void connect_failed(int error);
    void control_writable();
    void control_readable();
    void control_closed(const QString& reason);
    void handle_line(const QByteArray& raw);
    bool reply_accepts(int code, const QString& line);
    void greeting_reply(int code, const QString& line);
    void command_reply(int code, const QString& line);
    void size_reply(int code, const QString& line);
    void quit_reply(int code, const QString& line);
    void send_step_line();
    void flush_output();
    void close_control();

    void pasv_reply(int code, const QString& line);
    void data_failed(const QString& reason);
    bool open_local_file();
    void data_writable();
    bool read_next_block();
    void source_changed();
    void local_failure();
    void data_readable();
    void start_drain();
    void sending_ended(int error);
    void stor_reply(int code, const QString& line);
    void finish_stor();
    void drop_data();
    void note_failure(const QString& text);

    void display(const QString& text);

    QString host_name_;
    QString port_ = QStringLiteral("ftp");
    QString user_name_;
    QString pass_word_;
    QString host_dir_name_;
    QString host_file_name_;
    QString local_file_name_;
    bool binary_ = true;
    bool passive_ = false;
    int timeout_ = default_ftp_timeout_s;
    std::int64_t size_result_ = 0;
    QString error_message_;
    int status_code_ = 0;

    TFtpState state_ = ftpReady;
    TFtpRequest request_type_ = ftpNone;
    std::vector<Step> steps_;
    std::size_t step_index_ = 0;
    int result_ = 0;
    int failed_code_ = 0;          // the failed step of a request that still sends QUIT
    bool quit_on_failure_ = false; // the request runs on a connection of its own (Delete)
    bool refused_ = false;         // the last request was refused locally

    SocketChannel control_;
    bool control_connecting_ = false;
    QByteArray input_;
    QByteArray output_;

    SocketChannel data_;
    bool data_connecting_ = false;
    QFile local_file_;
    std::shared_ptr<IUploadSource> source_;
    int send_descriptor_ = -1;
    std::int64_t sent_ = 0;
    std::vector<char> block_; // the block being sent: block_length_ bytes, block_sent_ of them gone
    std::size_t block_length_ = 0;
    std::size_t block_sent_ = 0;
    bool stor_started_ = false; // the preliminary STOR reply has arrived
    bool sending_ = false;
    bool sending_ended_ = false;
    int send_error_ = 0;
    bool stor_final_ok_ = false;
    QTimer drain_timer_;

    std::unique_ptr<platform::HostLookup> lookup_;
    QSocketNotifier lookup_notifier_{QSocketNotifier::Read};
    // Moved by every reply line, progress event and source change: the idle deadline counts
    // from here.
    std::chrono::steady_clock::time_point last_activity_;
    QTimer idle_timer_;
    bool sync_waiting_ = false; // a synchronous wait keeps its own deadline
};

} // namespace zel
