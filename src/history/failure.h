// What the station says when its history cannot be kept, in words an operator can act on.
#pragma once

#include <exception>
#include <string>

namespace quorlan::history {

// Why the history file at path cannot be used, from the error that said so: "the disk holding
// /var/lib/quorlan/history.sqlite is full".
std::string describeFailure(const std::string& path, const std::exception& error);

// The status line's texts: the failure, said once, and the recovery.
std::string failureStatus(const std::string& reason);
std::string recoveryStatus(std::size_t keptMeanwhile, std::size_t lost);

} // namespace quorlan::history
