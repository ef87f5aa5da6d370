#pragma once

#include <QUrl>
#include <QWidget>

namespace zub {

// Loads one page in the background and throws it away: nothing reads it, no
// dialog, no error, no waiting. The widget itself shows nothing.
//
// The page is fetched with one plain HTTP/1.1 GET on a thread of its own,
// through the proxy that http_proxy names unless no_proxy exempts the host.
// Nothing else of a network library is needed for that, so the program does
// not load one at start; addresses of other schemes are not fetched.
class HiddenBrowser : public QWidget {
  Q_OBJECT

public:
  explicit HiddenBrowser(QWidget *parent = nullptr);

  // Never shows anything of its own; kept for the form's sake, always true.
  bool Silent = true;

  // Starts the request and returns at once.
  void Navigate2(const QUrl &url);
  QUrl requestedUrl() const { return requested_; }

private:
  QUrl requested_;
};

} // namespace zub
