#include "filesystem/zel_file_stream.h"

#include "filesystem/zel_file_info.h"

#include <filesystem>
#include <system_error>

namespace zel {

namespace {

// The directory part of a file name with its trailing delimiter ("/logs/run.log" -> "/logs/";
// "run.log" -> ""), after checking the name.
std::string directory_of(const std::string& file_name) {
    if (file_name.empty() || file_name.size() > platform::max_path_length() ||
        file_name.find('\0') != std::string::npos)
        throw EFileStreamError("Invalid characters in file name");
    const auto slash = file_name.rfind('/');
    return slash == std::string::npos ? std::string() : file_name.substr(0, slash + 1);
}

void force_directories(const std::string& path) {
    // Without its trailing delimiter; the root itself always exists.
    const std::string directory = path.substr(0, path.size() - 1);
    std::error_code error;
    if (directory.empty() || std::filesystem::is_directory(directory, error))
        return;
    std::filesystem::create_directories(directory, error);
    if (error || !std::filesystem::is_directory(directory, error))
        throw EFileStreamError("Can't create directory \"" + directory + "\"");
}

} // namespace

TZelFileStream::TZelFileStream(const std::string& FileName, bool DoForceDirectories,
                               platform::TFileAccess access, platform::TFileDisposition disposition)
    : THandleStream(platform::invalid_file_handle)
    , FPath(directory_of(FileName))
    , FFileName(FileName) {
    if (DoForceDirectories && !FPath.empty())
        force_directories(FPath);
    FHandle = platform::open_file(FFileName, access, disposition);
}

TZelFileStream::~TZelFileStream() {
    if (Opened())
        platform::close_file(FHandle);
}

std::unique_ptr<TZelFileStream> TZelFileStream::Create_to_read(const std::string& FileName) {
    return std::make_unique<TZelFileStream>(FileName, false, platform::TFileAccess::read,
                                            platform::TFileDisposition::open_existing);
}

std::unique_ptr<TZelFileStream> TZelFileStream::Create_to_write(const std::string& FileName) {
    return std::make_unique<TZelFileStream>(FileName, true, platform::TFileAccess::read_write,
                                            platform::TFileDisposition::open_always);
}

std::unique_ptr<TZelFileStream> TZelFileStream::clone() const {
    return std::make_unique<TZelFileStream>(FFileName, false, platform::TFileAccess::read,
                                            platform::TFileDisposition::open_always);
}

bool TZelFileStream::informations(std::shared_ptr<IFileInfo>& info) const {
    if (!Opened())
        return false;
    info = std::make_shared<TZelFileInfo>(FHandle, std::string());
    return true;
}

} // namespace zel
