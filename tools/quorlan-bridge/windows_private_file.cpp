// On Windows a file's readers are set by the access list of its folder, not by mode bits: the key
// file is read as it is, and README tells how to keep its folder to the bridge's user and the
// administrators.
#include "platform/error.h"
#include "platform/private_file.h"

#include <fstream>
#include <iterator>

namespace quorlan::platform {

std::string readPrivateFile(const std::string& path, std::size_t maxBytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw StationError(errc::kFileNotFound,
                           path + " cannot be read: it is not there, or this user may not read it");
    }
    std::string contents;
    contents.resize(maxBytes + 1);
    file.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    contents.resize(static_cast<std::size_t>(file.gcount()));
    if (contents.size() > maxBytes) {
        throw StationError(errc::kPathFileAccess, path + " is longer than " + std::to_string(maxBytes) +
                                                      " bytes, so it is not what it should be");
    }
    return contents;
}

void createPrivateFile(const std::string& path, std::string_view contents) {
    std::ofstream probe(path, std::ios::in | std::ios::binary);
    if (probe) {
        throw StationError(errc::kFileAlreadyExists, path + " is there already; it is left as it is");
    }
    std::ofstream file(path, std::ios::binary);
    file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!file.flush()) {
        throw StationError(errc::kPathFileAccess, path + " cannot be written");
    }
}

} // namespace quorlan::platform
