#include "Support.h"
#include "WindowProbe.h"

#include "DesktopActions.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>

void FormTest::SetUp() {
  ASSERT_TRUE(dir.isValid());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
  form = zub::test::MakeForm(*this, dir);
}

void FormTest::TearDown() {
  form.reset();
  instance.reset();
  qApp->setStyleSheet(QString());
}

void FormTest::LoadAndShow() {
  zub::test::LoadAndShow(*form, instance, dir);
}

QString FormTest::faces() const {
  auto face = [](const zub::ImageControl *shown, const zub::ImageControl *idle,
                 const zub::ImageControl *hover, const zub::ImageControl *pressed) {
    const qint64 key = shown->picture().cacheKey();
    return key == idle->picture().cacheKey()      ? QStringLiteral("idle")
           : key == hover->picture().cacheKey()   ? QStringLiteral("hover")
           : key == pressed->picture().cacheKey() ? QStringLiteral("pressed")
                                                  : QStringLiteral("?");
  };
  zub::MainWindow &f = *form;
  return face(Probe(f).minimiseButton(), Probe(f).minimiseFaces()[0], Probe(f).minimiseFaces()[1],
              Probe(f).minimiseFaces()[2]) +
         QLatin1Char('/') +
         face(Probe(f).menuButton(), Probe(f).menuFaces()[0], Probe(f).menuFaces()[1],
              Probe(f).menuFaces()[2]) +
         QLatin1Char('/') +
         face(Probe(f).closeButton(), Probe(f).closeFaces()[0], Probe(f).closeFaces()[1],
              Probe(f).closeFaces()[2]);
}

QString FormTest::stored(const char *key) const {
  return zub::OpenPositionStore()->value(QLatin1String(key)).toString();
}

void FormTest::store(const std::vector<std::pair<const char *, QString>> &values) const {
  auto settings = zub::OpenPositionStore();
  for (const auto &[key, value] : values)
    settings->setValue(QLatin1String(key), value);
}

void SendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               QPoint at) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}
