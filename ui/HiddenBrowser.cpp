#include "HiddenBrowser.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace zub {

HiddenBrowser::HiddenBrowser(QWidget *parent) : QWidget(parent) {}

void HiddenBrowser::Navigate2(const QUrl &url) {
  requested_ = url;
  if (!network_)
    network_ = new QNetworkAccessManager(this);
  QNetworkRequest request(url);
  request.setTransferTimeout(15000);
  QNetworkReply *reply = network_->get(request);
  connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

} // namespace zub
