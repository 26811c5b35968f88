#include "capture/platform/x11/display_socket.h"

#include <X11/Xauth.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace tarvix::capture::platform::x11 {

namespace {

PlatformError failure(std::string why) {
  return {kFail, std::move(why)};
}

// Connects without blocking past the bound; the socket stays non-blocking,
// as xcb wants it. -1 with errno set on failure (ETIMEDOUT: no answer).
int connect_bounded(int family, const sockaddr* address, socklen_t length,
                    std::chrono::milliseconds bound) {
  const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, address, length) == 0) return fd;
  // A Unix socket whose server accepts nothing more answers EAGAIN at once.
  if (errno == EAGAIN) errno = ETIMEDOUT;
  if (errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, static_cast<int>(bound.count()));
    int error = ETIMEDOUT;
    socklen_t size = sizeof error;
    if (ready > 0) getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    if (ready > 0 && error == 0) return fd;
    errno = error;
  }
  const int saved = errno;
  close(fd);
  errno = saved;
  return -1;
}

// The server's own socket: the abstract name first, as servers on Linux
// listen on both, then the file.
int connect_local(int display, std::chrono::milliseconds bound) {
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
  int last_errno = ENOENT;
  for (const bool abstract : {true, false}) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const int fd =
        connect_bounded(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length, bound);
    if (fd >= 0) return fd;
    last_errno = errno;
    if (last_errno == ETIMEDOUT) break;
  }
  errno = last_errno;
  return -1;
}

int connect_tcp(const std::string& host, int display, std::chrono::milliseconds bound) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(6000 + display).c_str(), &hints, &found) != 0) {
    errno = EHOSTUNREACH;
    return -1;
  }
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
  int last_errno = ECONNREFUSED;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    const int fd = connect_bounded(a->ai_family, a->ai_addr, a->ai_addrlen, bound);
    if (fd >= 0) return fd;
    last_errno = errno;
  }
  errno = last_errno;
  return -1;
}

bool is_loopback(const sockaddr_storage& peer) {
  if (peer.ss_family == AF_INET) {
    return reinterpret_cast<const sockaddr_in&>(peer).sin_addr.s_addr == htonl(INADDR_LOOPBACK);
  }
  const in6_addr& a = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
  return IN6_IS_ADDR_LOOPBACK(&a) ||
         (IN6_IS_ADDR_V4MAPPED(&a) && a.s6_addr[12] == 127 && a.s6_addr[15] == 1);
}

// The cookie the authority file holds for this server: local connections
// are filed under this host's name, remote ones under the server's address.
void find_cookie(DisplaySocket& socket, int display) {
  constexpr unsigned kFamilyLocal = 256, kFamilyInternet = 0, kFamilyInternet6 = 6;
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  unsigned family = kFamilyLocal;
  std::string address;
  if (getpeername(socket.fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
      (peer.ss_family == AF_INET || peer.ss_family == AF_INET6) && !is_loopback(peer)) {
    if (peer.ss_family == AF_INET) {
      family = kFamilyInternet;
      const auto& in = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
      address.assign(reinterpret_cast<const char*>(&in), sizeof in);
    } else {
      family = kFamilyInternet6;
      const auto& in6 = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
      address.assign(reinterpret_cast<const char*>(&in6), sizeof in6);
    }
  } else {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) return;
    address = host;
  }
  const std::string number = std::to_string(display);
  char name[] = "MIT-MAGIC-COOKIE-1";
  char* names[] = {name};
  const int lengths[] = {static_cast<int>(sizeof name - 1)};
  // libXau keeps the authority file's name in a buffer of its own: captures
  // that connect at the same time take turns.
  static std::mutex xau_lock;
  const std::lock_guard lock(xau_lock);
  Xauth* auth =
      XauGetBestAuthByAddr(family, static_cast<unsigned>(address.size()), address.data(),
                           static_cast<unsigned>(number.size()), number.data(), 1, names, lengths);
  if (!auth) return;
  socket.auth_name.assign(auth->name, auth->name_length);
  socket.auth_data.assign(auth->data, auth->data_length);
  XauDisposeAuth(auth);
}

}  // namespace

PlatformResult<DisplaySocket> connect_display(const std::string& display,
                                              std::chrono::milliseconds bound) {
  char* host_raw = nullptr;
  int number = 0;
  DisplaySocket socket;
  if (!xcb_parse_display(display.c_str(), &host_raw, &number, &socket.screen)) {
    return Err{failure("the display name cannot be parsed")};
  }
  const std::string host = host_raw;
  std::free(host_raw);
  const bool local = host.empty() || host == "unix";
  socket.fd = local ? connect_local(number, bound) : connect_tcp(host, number, bound);
  if (socket.fd < 0) {
    if (errno == ETIMEDOUT) {
      return Err{failure("the server did not answer within " +
                         std::to_string(bound.count() / 1000) + " s")};
    }
    return Err{failure(std::string("cannot connect to the server: ") + std::strerror(errno))};
  }
  find_cookie(socket, number);
  return socket;
}

}  // namespace tarvix::capture::platform::x11
