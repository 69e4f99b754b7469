#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zel {

// zellog: log files on the command line.
//   zellog show PATH [--kinds KIND,KIND...]   the log tree of a log file, a folder of logs or a
//                                            crash list: kind, time, repeat count and text,
//                                            indented by nesting; --kinds keeps those kinds
//                                            (and the groups around them)
//   zellog --version | --help
// `arguments` are the program's arguments without its name. Returns the exit status: 0 done,
// 1 nothing could be loaded, 2 bad arguments.
int run_zellog(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace zel
