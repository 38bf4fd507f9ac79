// The user's runtime folder, $XDG_RUNTIME_DIR: where the station keeps its instance lock and
// cnc-sim its socket, and what Qt looks up as it starts. A login session sets it. A program started
// without one (a service, su, a remote shell without a session manager, a container) settles it
// here before Qt starts, so that all our programs share one private folder and Qt has nothing to
// warn about.
#pragma once

#include <string>
#include <sys/types.h>

namespace quorlan::platform {

// Makes folder fit to be uid's runtime folder as the XDG rules demand: a directory, not a link,
// owned by uid, entered by uid alone. A missing folder is created so, and one of uid's own with
// wider access is narrowed. Returns why it cannot be, or an empty string.
std::string claimRuntimeFolder(const std::string& folder, uid_t uid);

// Why folder is not fit to hold what only uid may reach (a socket that drives the machine), or an
// empty string: it must be a directory, not a link, owned by uid, and closed to every other user.
// Unlike claimRuntimeFolder it changes nothing.
std::string privateFolderProblem(const std::string& folder, uid_t uid);

// Where a local socket named name lives: a name with a slash is the socket's path as given; any
// other is a socket in the runtime folder, which only its user can enter.
std::string localSocketPath(const std::string& name);

// Why path cannot be a Unix socket's path (it is too long), or an empty string.
std::string socketPathProblem(const std::string& path);

// The user's login name, or the number as text when it has none.
std::string userNameOf(uid_t uid);

struct RuntimeFolder {
    std::string path;    // empty when no folder could be had
    std::string problem; // worth telling the user, or empty
};

// $XDG_CACHE_HOME when it is an absolute path, else ~/.cache; empty when there is no home folder.
std::string cacheFolder();

// The folder for a process without $XDG_RUNTIME_DIR: the session manager's systemFolder
// (/run/user/UID) when it is there and sound; else cacheHome/quorlan/runtime, made private when
// it is missing, and used only when it is a folder (not a link) of uid's own that no one else may
// enter. Every program of the user finds the same one, so that the station's lock and cnc-sim's
// socket meet. An empty path and the reason when there is none.
RuntimeFolder chooseRuntimeFolder(const std::string& systemFolder, const std::string& cacheHome, uid_t uid);

// Keeps a set $XDG_RUNTIME_DIR that is the user's own; otherwise chooses a folder for this
// process's user and sets the variable for this process and the programs it starts, saying why
// when a set one was refused. Call it before any thread starts.
RuntimeFolder settleRuntimeFolder();

} // namespace quorlan::platform
