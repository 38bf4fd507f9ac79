// The broker session through libmosquitto: its own network thread, connected without blocking
// the caller, and the library's words turned into reasons an operator can act on.
#pragma once

#include "events/broker.h"

namespace quorlan::events {

std::unique_ptr<BrokerSession> connectMosquitto(const BrokerOptions& options, BrokerListener& listener);

} // namespace quorlan::events
