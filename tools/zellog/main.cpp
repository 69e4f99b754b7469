#include "log/core/log_unit.h"
#include "tools/zellog/zellog_command.h"

#include <iostream>

int main(int argc, char** argv) {
    const zel::TLogUnit unit;
    return zel::run_zellog({argv + 1, argv + argc}, std::cout, std::cerr);
}
