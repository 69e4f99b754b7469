#pragma once

#include "app/cli/send_arguments.h"

#include <QString>

#include <cstdio>

namespace zel {

// The send workflow driven from the terminal: the user information comes from the arguments,
// progress goes to standard output (one line redrawn in place on a terminal, plain lines
// otherwise), and a closing line names the outcome and the remote paths. The session log is
// the one the main window writes. Needs a QCoreApplication.
class THeadlessSender {
public:
    explicit THeadlessSender(TSendArguments arguments);

    // Exit status: 0 the outcome marker ".OK" arrived, 1 the send ended otherwise, 3 nothing
    // moved for the time-out.
    int Run();

private:
    void Print(const QString& line);
    void ShowProgress(const QString& caption);

    TSendArguments FArguments;
    bool FTerminal;
    bool FLineOpen = false; // a progress line waits to be ended or redrawn
    QString FLastCaption;
};

} // namespace zel
