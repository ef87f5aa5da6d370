#pragma once

#include <QUrl>
#include <QWidget>

class QNetworkAccessManager;

namespace zub {

// Loads one page in the background and throws it away: nothing reads it, no
// dialog, no error, no waiting. The widget itself shows nothing.
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
  QNetworkAccessManager *network_ = nullptr;
  QUrl requested_;
};

} // namespace zub
