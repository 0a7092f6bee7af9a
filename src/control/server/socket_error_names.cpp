#include "control/server/socket_error_names.hpp"

#include <cerrno>

namespace orlogix {

namespace {

struct ErrorName {
    int errno_value;
    std::string_view name;
};

// errno values of the same meaning as the Windows socket errors 10004-10093.
constexpr ErrorName kNames[] = {
    {EINTR, "WSAEINTR"},
    {EACCES, "WSAEACCES"},
    {EPERM, "WSAEACCES"},
    {EFAULT, "WSAEFAULT"},
    {EINVAL, "WSAEINVAL"},
    {EWOULDBLOCK, "WSAEWOULDBLOCK"},
    {EINPROGRESS, "WSAEINPROGRESS"},
    {EALREADY, "WSAEALREADY"},
    {ENOTSOCK, "WSAENOTSOCK"},
    {EBADF, "WSAENOTSOCK"},
    {EMSGSIZE, "WSAEMSGSIZE"},
    {EOPNOTSUPP, "WSAEOPNOTSUPP"},
    {EAFNOSUPPORT, "WSAEAFNOSUPPORT"},
    {EADDRINUSE, "WSAEADDRINUSE"},
    {EADDRNOTAVAIL, "WSAEADDRNOTAVAIL"},
    {ENETDOWN, "WSAENETDOWN"},
    {ENETUNREACH, "WSAENETUNREACH"},
    {ENETRESET, "WSAENETRESET"},
    {ECONNABORTED, "WSAECONNABORTED"},
    {ECONNRESET, "WSAECONNRESET"},
    {EPIPE, "WSAECONNRESET"},
    {ENOBUFS, "WSAENOBUFS"},
    {ENOMEM, "WSAENOBUFS"},
    {EMFILE, "WSAENOBUFS"},
    {ENFILE, "WSAENOBUFS"},
    {EISCONN, "WSAEISCONN"},
    {ENOTCONN, "WSAENOTCONN"},
    {ESHUTDOWN, "WSAESHUTDOWN"},
    {ETIMEDOUT, "WSAETIMEDOUT"},
    {ECONNREFUSED, "WSAECONNREFUSED"},
    {EHOSTUNREACH, "WSAEHOSTUNREACH"},
};

}  // namespace

std::string_view socket_error_name(int errno_value) {
    for (const ErrorName& e : kNames)
        if (e.errno_value == errno_value) return e.name;
    return "UNKNOWN";
}

}  // namespace orlogix
