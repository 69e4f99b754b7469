#include "platform/text_file.h"

#include <fstream>
#include <sstream>

namespace zel::platform {

std::string read_text_file(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace zel::platform
