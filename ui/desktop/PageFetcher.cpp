#include "PageFetcher.h"

#include <QByteArray>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zub {

namespace {

// How long the fetch may wait for the other side at any one step, and how
// long and how much of the page it takes at most: the page is thrown away.
constexpr int kStepTimeoutMs = 15000;
constexpr auto kWholeFetch = std::chrono::seconds(60);
constexpr std::size_t kMaxPageBytes = 4u << 20;

struct PageRequest {
  std::string connectHost; // the page's host, or the proxy's
  std::string connectPort;
  std::string text; // the whole request
};

QByteArray HostHeader(const QUrl &url) {
  QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
  if (host.contains(':'))
    host = '[' + host + ']'; // an IPv6 address
  const int port = url.port(80);
  if (port != 80)
    host += ':' + QByteArray::number(port);
  return host;
}

// Whether no_proxy exempts `host`: "*", or the host itself or a domain it
// lies in, with or without the leading dot.
bool ExemptFromProxy(const QString &host) {
  const QByteArray list =
      qEnvironmentVariableIsSet("no_proxy") ? qgetenv("no_proxy") : qgetenv("NO_PROXY");
  for (QByteArray entry : list.split(',')) {
    entry = entry.trimmed();
    while (entry.startsWith('.'))
      entry.remove(0, 1);
    if (entry == "*")
      return true;
    const QString domain = QString::fromLatin1(entry);
    if (!domain.isEmpty() && (host.compare(domain, Qt::CaseInsensitive) == 0 ||
                              host.endsWith(QLatin1Char('.') + domain, Qt::CaseInsensitive)))
      return true;
  }
  return false;
}

// What http_proxy asks of a request to `url`: to go straight to the page's
// host, to go through a plain HTTP proxy, or nothing at all. Someone who set
// a proxy did so for a reason (a firewall, privacy), so a proxy that cannot
// be used, because it is malformed or speaks a protocol this request does
// not, makes the request stay at home rather than bypass it.
enum class ProxyUse { Direct, Through, Skip };

ProxyUse ProxyFor(const QUrl &url, QUrl &proxyOut) {
  QByteArray proxy =
      qEnvironmentVariableIsSet("http_proxy") ? qgetenv("http_proxy") : qgetenv("HTTP_PROXY");
  proxy = proxy.trimmed();
  if (proxy.isEmpty() || ExemptFromProxy(url.host()))
    return ProxyUse::Direct;
  if (!proxy.contains("://"))
    proxy.prepend("http://");
  const QUrl parsed(QString::fromLatin1(proxy), QUrl::StrictMode);
  if (!parsed.isValid() || parsed.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) ||
      parsed.host().isEmpty() || parsed.port(1080) < 1 || parsed.port(1080) > 65535)
    return ProxyUse::Skip;
  proxyOut = parsed;
  return ProxyUse::Through;
}

} // namespace

std::optional<PagePeer> PlanPageRequest(const QUrl &url, std::string *requestText) {
  if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
    return std::nullopt;
  QByteArray target =
      url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
  if (target.isEmpty())
    target = "/";
  QUrl proxy;
  const ProxyUse use = ProxyFor(url, proxy);
  if (use == ProxyUse::Skip)
    return std::nullopt;
  const bool through = use == ProxyUse::Through;
  const QUrl &peer = through ? proxy : url;
  PagePeer to;
  to.host = peer.host(QUrl::FullyEncoded).toStdString();
  to.port = peer.port(through ? 1080 : 80); // 1080: curl's default for a proxy
  to.viaProxy = through;
  if (through) // a proxy is asked for the whole address
    target = url.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
  if (requestText)
    *requestText = ("GET " + target + " HTTP/1.1\r\nHost: " + HostHeader(url) +
                    "\r\nUser-Agent: zubqr-gui\r\nAccept: */*\r\nConnection: close\r\n\r\n")
                       .toStdString();
  return to;
}

namespace {

bool WaitFor(int fd, short events) {
  pollfd p{fd, events, 0};
  int ready;
  do
    ready = ::poll(&p, 1, kStepTimeoutMs);
  while (ready < 0 && errno == EINTR);
  return ready > 0 && (p.revents & (events | POLLHUP | POLLERR));
}

bool Connect(int fd, const addrinfo &to) {
  if (::connect(fd, to.ai_addr, to.ai_addrlen) == 0)
    return true;
  if (errno != EINPROGRESS || !WaitFor(fd, POLLOUT))
    return false;
  int error = 0;
  socklen_t size = sizeof error;
  return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

void Exchange(int fd, const std::string &text) {
  const auto deadline = std::chrono::steady_clock::now() + kWholeFetch;
  std::size_t sent = 0;
  while (sent < text.size()) {
    if (!WaitFor(fd, POLLOUT))
      return;
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno != EINTR && errno != EAGAIN)
      return;
    if (n > 0)
      sent += static_cast<std::size_t>(n);
  }
  char buffer[16384];
  std::size_t received = 0;
  while (received < kMaxPageBytes && std::chrono::steady_clock::now() < deadline) {
    if (!WaitFor(fd, POLLIN))
      return;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
      return;
    if (n > 0)
      received += static_cast<std::size_t>(n);
  }
}

void Fetch(const PageRequest &request) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  if (::getaddrinfo(request.connectHost.c_str(), request.connectPort.c_str(), &hints, &found) != 0)
    return;
  for (const addrinfo *a = found; a; a = a->ai_next) {
    const int fd =
        ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0)
      continue;
    const bool connected = Connect(fd, *a);
    if (connected)
      Exchange(fd, request.text);
    ::close(fd);
    if (connected)
      break;
  }
  ::freeaddrinfo(found);
}

} // namespace

PageFetcher::PageFetcher(QObject *parent) : QObject(parent) {}

void PageFetcher::fetch(const QUrl &url) {
  requested_ = url;
  PageRequest request;
  const std::optional<PagePeer> peer = PlanPageRequest(url, &request.text);
  if (!peer)
    return;
  request.connectHost = peer->host;
  request.connectPort = std::to_string(peer->port);
  // Nobody waits for the page: the thread ends on its own, or with the
  // process.
  std::thread([request = std::move(request)] { Fetch(request); }).detach();
}

} // namespace zub
