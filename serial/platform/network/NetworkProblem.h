#pragma once

// Why a line behind a network server could not be opened, in a
// technician's words, from the failure's detail (the socket layer's error
// number, serial/platform/Socket.h). SystemText is the system's own text of
// it, for the cases without words of ours.

#include <string>

namespace platform::network {

std::string NetworkProblem(int Detail, const std::string& SystemText);

}  // namespace platform::network
