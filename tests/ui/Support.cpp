#include "Support.h"

#include "WindowHelpers.h"

#include <QFile>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTest>

void FormTest::SetUp() {
  ASSERT_TRUE(dir.isValid());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
  form = std::make_unique<zub::Form1>();
  form->skinPath = dir.filePath(QStringLiteral("she.she")); // none unless a test writes one
  form->pageAddress = QUrl();
  auto &s = form->services;
  s.dialogs.message = [this](zub::MessageIcon icon, zub::MessageButtons buttons,
                             const QString &title, const QString &text) {
    messages.push_back({icon, buttons, title, text});
    return buttons == zub::MessageButtons::YesNo ? zub::MessageAnswer::No : zub::MessageAnswer::Ok;
  };
  s.dialogs.openFile = [](const zub::FileDialogRequest &) { return std::optional<QString>(); };
  s.dialogs.saveFile = [](const zub::FileDialogRequest &) { return std::optional<QString>(); };
  s.isForeground = [this](const QWidget *) { return foreground; };
  s.cursorPos = [this] { return cursor; };
  s.popup = [this](QMenu *menu, const QPoint &) {
    popups.push_back(VisibleEntries(menu));
    if (duringPopup)
      duringPopup(menu);
  };
  s.quit = [this] { ++quits; };
}

void FormTest::TearDown() {
  form.reset();
  instance.reset();
  qApp->setStyleSheet(QString());
}

void FormTest::LoadAndShow() {
  instance = std::make_unique<zub::SingleInstance>(dir.filePath(QStringLiteral("lock")));
  ASSERT_TRUE(form->Form_Load(*instance));
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
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
  const zub::Form1 &f = *form;
  return face(f.最小0, f.最小1, f.最小2, f.最小3) + QLatin1Char('/') +
         face(f.菜单0, f.菜单1, f.菜单2, f.菜单3) + QLatin1Char('/') +
         face(f.关闭0, f.关闭1, f.关闭2, f.关闭3);
}

QString FormTest::stored(const char *key) const {
  return zub::OpenPositionStore()->value(QLatin1String(key)).toString();
}

void FormTest::store(const std::vector<std::pair<const char *, QString>> &values) const {
  auto settings = zub::OpenPositionStore();
  for (const auto &[key, value] : values)
    settings->setValue(QLatin1String(key), value);
}

QStringList VisibleEntries(const QMenu *menu) {
  QStringList entries;
  for (const QAction *a : menu->actions())
    if (a->isVisible())
      entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return entries;
}

void SendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               QPoint at) {
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}
