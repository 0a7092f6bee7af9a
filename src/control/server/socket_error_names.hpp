#pragma once
// The names the server's texts give socket failures ("bind() returned
// WSAEADDRINUSE"): the Windows socket error of the same meaning as an errno
// value, so that clients and users see the texts they know.
#include <string_view>

namespace orlogix {

// "UNKNOWN" for an errno value without a counterpart.
std::string_view socket_error_name(int errno_value);

}  // namespace orlogix
