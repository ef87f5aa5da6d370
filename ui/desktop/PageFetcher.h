#pragma once

#include <QObject>
#include <QUrl>

#include <optional>
#include <string>

namespace zub {

// Where the request for a page goes: the page's own host, or the proxy.
struct PagePeer {
  std::string host;
  int port = 0;
  bool viaProxy = false;
};

// The plan of the background request for `url`, made from the environment:
// http_proxy (or HTTP_PROXY when the lower-case one is unset), without a
// port meaning 1080, and no_proxy (or NO_PROXY), whose entries exempt a host
// and the hosts of its domain ("example.com" exempts www.example.com, not
// badexample.com). No plan when the address is not plain HTTP, or when a
// proxy is set that this request cannot use: a malformed one, or one of
// another scheme (https://, socks5://). `requestText`, when given, receives
// the request as sent.
std::optional<PagePeer> PlanPageRequest(const QUrl &url, std::string *requestText = nullptr);

// Loads one page in the background and throws it away: nothing reads it, no
// dialog, no error, no waiting.
//
// The page is fetched with one plain HTTP/1.1 GET on a thread of its own,
// through the proxy that http_proxy names unless no_proxy exempts the host.
// Nothing else of a network library is needed for that, so the program does
// not load one at start; addresses of other schemes are not fetched.
class PageFetcher : public QObject {
  Q_OBJECT

public:
  explicit PageFetcher(QObject *parent = nullptr);

  // Starts the request and returns at once.
  void fetch(const QUrl &url);
  QUrl requestedUrl() const { return requested_; }

private:
  QUrl requested_;
};

} // namespace zub
