// The background page: one plain GET, sent without blocking the caller,
// straight to the page's host or through the proxy http_proxy names.

#include "PageFetcher.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
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
  zub::PageFetcher browser;
  const QUrl page(
      QStringLiteral("http://127.0.0.1:%1/news/index.html?from=zub#top").arg(server.port()));
  const auto before = std::chrono::steady_clock::now();
  browser.fetch(page);
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
  zub::PageFetcher browser;
  {
    ScopedEnv set("http_proxy", proxyAddress); // no scheme: plain HTTP
    browser.fetch(QUrl(QStringLiteral("http://www.morvi.example/a b")));
    const std::string request = proxy.NextRequest();
    EXPECT_EQ(request.rfind("GET http://www.morvi.example/a%20b HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nHost: www.morvi.example\r\n"), std::string::npos) << request;
  }
  {
    // Exempt: the page's own host is asked (where nothing listens); the
    // proxy hears nothing.
    ScopedEnv set("HTTP_PROXY", "http://" + proxyAddress);
    ScopedEnv exempt("no_proxy", "localhost, .example, 127.0.0.1");
    browser.fetch(QUrl(QStringLiteral("http://127.0.0.1:9/")));
    EXPECT_EQ(proxy.NextRequest(300), "");
  }
}

TEST(HiddenBrowserTest, OtherAddressesAreLeftAloneWithoutComplaint) {
  NoProxies clean;
  zub::PageFetcher browser;
  // Refused, unresolvable, not HTTP, not an address: nothing happens and
  // nothing waits.
  for (const char *address :
       {"http://127.0.0.1:9/", "http://no-such-host.invalid/", "https://www.morvi.example/",
        "ftp://127.0.0.1/", "", "http://[::1"}) {
    const auto before = std::chrono::steady_clock::now();
    browser.fetch(QUrl(QString::fromLatin1(address)));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1)) << address;
  }
}

// Where the request goes for each proxy setting, read off the plan: the
// rules that decide it, each in a case of its own.
TEST(HiddenBrowserTest, ProxyRulesDecideWhereTheRequestGoes) {
  struct Case {
    const char *proxy;      // http_proxy; nullptr: unset
    const char *proxyUpper; // HTTP_PROXY
    const char *exempt;     // no_proxy
    const char *exemptUpper;
    const char *page;
    const char *host; // where the connection goes; nullptr: no request
    int port;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, "http://www.example.com/", "www.example.com", 80},
      {"proxy.lan:3128", nullptr, nullptr, nullptr, "http://www.example.com/", "proxy.lan", 3128},
      // Without a port a proxy is asked on 1080, not on the web's 80.
      {"http://proxy.lan", nullptr, nullptr, nullptr, "http://www.example.com/", "proxy.lan", 1080},
      {"proxy.lan", nullptr, nullptr, nullptr, "http://www.example.com:8080/", "proxy.lan", 1080},
      {nullptr, "proxy.lan:3128", nullptr, nullptr, "http://www.example.com/", "proxy.lan", 3128},
      // An exemption covers the domain and its hosts, at a dot boundary only.
      {"proxy.lan:3128", nullptr, "example.com", nullptr, "http://www.example.com/",
       "www.example.com", 80},
      {"proxy.lan:3128", nullptr, "example.com", nullptr, "http://example.com/", "example.com", 80},
      {"proxy.lan:3128", nullptr, ".example.com", nullptr, "http://www.example.com/",
       "www.example.com", 80},
      {"proxy.lan:3128", nullptr, "example.com", nullptr, "http://badexample.com/", "proxy.lan",
       3128},
      {"proxy.lan:3128", nullptr, "ample.com", nullptr, "http://www.example.com/", "proxy.lan",
       3128},
      // The upper-case exemption counts when the lower-case one is unset.
      {"proxy.lan:3128", nullptr, nullptr, "example.com", "http://www.example.com/",
       "www.example.com", 80},
      {"proxy.lan:3128", nullptr, nullptr, "*", "http://www.example.com/", "www.example.com", 80},
      // A proxy that this plain-HTTP request cannot use, or that is not an
      // address, is not bypassed: no request at all.
      {"https://proxy.lan:3128", nullptr, nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      {"socks5://proxy.lan:1080", nullptr, nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      {"socks5h://proxy.lan", nullptr, nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      {nullptr, "https://proxy.lan", nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      {"http://proxy.lan:99999", nullptr, nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      {"http://::1:18555", nullptr, nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      {"http://proxy.lan:0", nullptr, nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      {"http:// bad host/", nullptr, nullptr, nullptr, "http://www.example.com/", nullptr, 0},
      // A bare word is a host name, as curl reads it: that host is asked as
      // the proxy, the page's host never.
      {"garbage", nullptr, nullptr, nullptr, "http://www.example.com/", "garbage", 1080},
      // An exempt host needs no proxy, usable or not.
      {"socks5://proxy.lan", nullptr, "example.com", nullptr, "http://www.example.com/",
       "www.example.com", 80},
  };
  for (const Case &c : cases) {
    const ScopedEnv proxy("http_proxy", c.proxy ? QByteArray(c.proxy) : QByteArray());
    const ScopedEnv proxyUpper("HTTP_PROXY",
                               c.proxyUpper ? QByteArray(c.proxyUpper) : QByteArray());
    const ScopedEnv exempt("no_proxy", c.exempt ? QByteArray(c.exempt) : QByteArray());
    const ScopedEnv exemptUpper("NO_PROXY",
                                c.exemptUpper ? QByteArray(c.exemptUpper) : QByteArray());
    const std::optional<zub::PagePeer> peer =
        zub::PlanPageRequest(QUrl(QString::fromLatin1(c.page)));
    const std::string what = std::string(c.proxy ? c.proxy : "-") + " / " +
                             (c.proxyUpper ? c.proxyUpper : "-") + " / " +
                             (c.exempt ? c.exempt : "-") + " / " +
                             (c.exemptUpper ? c.exemptUpper : "-") + " -> " + c.page;
    if (!c.host) {
      EXPECT_FALSE(peer) << what << " went to " << (peer ? peer->host : "");
      continue;
    }
    ASSERT_TRUE(peer) << what;
    EXPECT_EQ(peer->host, c.host) << what;
    EXPECT_EQ(peer->port, c.port) << what;
  }
}

// The same rules seen where the connections go: two local listeners, one the
// page's host and one the proxy.
TEST(HiddenBrowserTest, UpperCaseExemptionAndUnusableProxiesSeenOnTheWire) {
  NoProxies clean;
  Listener page, proxy;
  ASSERT_NE(page.port(), 0);
  ASSERT_NE(proxy.port(), 0);
  const QByteArray proxyAt = "127.0.0.1:" + QByteArray::number(proxy.port());
  const QUrl address(QStringLiteral("http://127.0.0.1:%1/p").arg(page.port()));
  zub::PageFetcher browser;
  {
    ScopedEnv set("http_proxy", proxyAt);
    ScopedEnv exempt("NO_PROXY", "127.0.0.1");
    browser.fetch(address);
    EXPECT_EQ(page.NextRequest().rfind("GET /p HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(proxy.NextRequest(300), "");
  }
  {
    // Not exempt: 127.0.0.1 does not lie in a domain "27.0.0.1".
    ScopedEnv set("http_proxy", proxyAt);
    ScopedEnv exempt("no_proxy", "27.0.0.1");
    browser.fetch(address);
    EXPECT_EQ(proxy.NextRequest().rfind("GET " + address.toString().toStdString(), 0), 0u);
    EXPECT_EQ(page.NextRequest(300), "");
  }
  for (const QByteArray &unusable :
       {"socks5://" + proxyAt, "https://" + proxyAt, QByteArray("http://127.0.0.1:99999"),
        QByteArray("http://::1:") + QByteArray::number(proxy.port())}) {
    ScopedEnv set("http_proxy", unusable);
    browser.fetch(address);
    // Neither bypassed nor spoken to as plain HTTP.
    EXPECT_EQ(page.NextRequest(300), "") << unusable.constData();
    EXPECT_EQ(proxy.NextRequest(300), "") << unusable.constData();
  }
}
