// The background page: one plain GET, sent without blocking the caller,
// straight to the page's host or through the proxy http_proxy names.

#include "HiddenBrowser.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A listening socket on a free port of the loopback address.
class Listener {
public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr *>(&at), size) == 0 &&
        ::listen(fd_, 4) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr *>(&at), &size) == 0)
      port_ = ntohs(at.sin_port);
  }
  ~Listener() { ::close(fd_); }
  Listener(const Listener &) = delete;
  Listener &operator=(const Listener &) = delete;

  int port() const { return port_; }

  // The request of the first connection (up to its blank line), answered
  // with a short page; empty when nobody connects within `ms`.
  std::string NextRequest(int ms = 5000) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
      return {};
    const int client = ::accept(fd_, nullptr, nullptr);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      pollfd c{client, POLLIN, 0};
      if (::poll(&c, 1, ms) <= 0)
        break;
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0)
        break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string page =
        "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
    (void)::send(client, page.data(), page.size(), MSG_NOSIGNAL);
    ::close(client);
    return request;
  }

private:
  int fd_ = -1;
  int port_ = 0;
};

// Sets an environment variable for one test and restores it after.
class ScopedEnv {
public:
  ScopedEnv(const char *name, const QByteArray &value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
  ~ScopedEnv() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }

private:
  const char *name_;
  bool had_;
  QByteArray old_;
};

struct NoProxies {
  ScopedEnv lower{"http_proxy", QByteArray()};
  ScopedEnv upper{"HTTP_PROXY", QByteArray()};
  ScopedEnv exempt{"no_proxy", QByteArray()};
  ScopedEnv exemptUpper{"NO_PROXY", QByteArray()};
};

} // namespace

TEST(HiddenBrowserTest, AsksThePageHostForThePathAndQuery) {
  NoProxies clean;
  Listener server;
  ASSERT_NE(server.port(), 0);
  zub::HiddenBrowser browser;
  const QUrl page(
      QStringLiteral("http://127.0.0.1:%1/news/index.html?from=zub#top").arg(server.port()));
  const auto before = std::chrono::steady_clock::now();
  browser.Navigate2(page);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1)); // never waits
  EXPECT_EQ(browser.requestedUrl(), page);

  const std::string request = server.NextRequest();
  EXPECT_EQ(request.rfind("GET /news/index.html?from=zub HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"),
            std::string::npos)
      << request;
  EXPECT_NE(request.find("\r\nConnection: close\r\n"), std::string::npos) << request;
}

TEST(HiddenBrowserTest, GoesThroughTheProxyUnlessTheHostIsExempt) {
  NoProxies clean;
  Listener proxy;
  ASSERT_NE(proxy.port(), 0);
  const QByteArray proxyAddress = "127.0.0.1:" + QByteArray::number(proxy.port());
  zub::HiddenBrowser browser;
  {
    ScopedEnv set("http_proxy", proxyAddress); // no scheme: plain HTTP
    browser.Navigate2(QUrl(QStringLiteral("http://www.morvi.example/a b")));
    const std::string request = proxy.NextRequest();
    EXPECT_EQ(request.rfind("GET http://www.morvi.example/a%20b HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nHost: www.morvi.example\r\n"), std::string::npos) << request;
  }
  {
    // Exempt: the page's own host is asked (where nothing listens); the
    // proxy hears nothing.
    ScopedEnv set("HTTP_PROXY", "http://" + proxyAddress);
    ScopedEnv exempt("no_proxy", "localhost, .example, 127.0.0.1");
    browser.Navigate2(QUrl(QStringLiteral("http://127.0.0.1:9/")));
    EXPECT_EQ(proxy.NextRequest(300), "");
  }
}

TEST(HiddenBrowserTest, OtherAddressesAreLeftAloneWithoutComplaint) {
  NoProxies clean;
  zub::HiddenBrowser browser;
  // Refused, unresolvable, not HTTP, not an address: nothing happens and
  // nothing waits.
  for (const char *address :
       {"http://127.0.0.1:9/", "http://no-such-host.invalid/", "https://www.morvi.example/",
        "ftp://127.0.0.1/", "", "http://[::1"}) {
    const auto before = std::chrono::steady_clock::now();
    browser.Navigate2(QUrl(QString::fromLatin1(address)));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1)) << address;
  }
}
