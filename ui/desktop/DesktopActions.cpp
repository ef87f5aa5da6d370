#include "DesktopActions.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace zub {

int TwipsToPixels(double twips) {
  const double pixels = std::nearbyint(twips / kTwipsPerPixel); // ties to even
  if (std::isnan(pixels))
    return 0;
  // Far beyond every screen, and still leaves room for sizes added to it.
  return static_cast<int>(
      std::clamp(pixels, -double(kMaxPixelCoordinate), double(kMaxPixelCoordinate)));
}

QString PositionStorePath() {
  // Where QSettings keeps a user's INI file of this name; named here so the
  // file can be looked at before QSettings opens it.
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Zub二维码.ini");
}

bool PositionStoreUsable(const QString &path) {
  const QByteArray name = QFile::encodeName(path);
  struct stat link {};
  if (::lstat(name.constData(), &link) != 0)
    return errno == ENOENT; // made afresh by the first store
  if (S_ISREG(link.st_mode))
    return true;
  if (!S_ISLNK(link.st_mode))
    return false; // a FIFO would block the window in open(), a device be replaced
  // A link is followed only where the kernel's own protection for links in
  // shared folders would follow it: in a sticky folder that everyone may
  // write, only a link of this user or of the folder's owner.
  const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
  struct stat dir {};
  if (::stat(folder.constData(), &dir) != 0)
    return false;
  if ((dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH) && link.st_uid != ::geteuid() &&
      link.st_uid != dir.st_uid)
    return false;
  struct stat target {};
  // A dangling link would have its target made wherever it points.
  return ::stat(name.constData(), &target) == 0 && S_ISREG(target.st_mode);
}

std::unique_ptr<QSettings> OpenPositionStore() {
  const QString path = PositionStorePath();
  if (!PositionStoreUsable(path))
    return nullptr;
  auto store = std::make_unique<QSettings>(path, QSettings::IniFormat);
  store->beginGroup(QStringLiteral("Soft_Stat"));
  return store;
}

bool LoadAlwaysReadable() {
  const std::unique_ptr<QSettings> store = OpenPositionStore();
  return store && store->value(QStringLiteral("AlwaysReadable")).toString() == QStringLiteral("1");
}

void SaveAlwaysReadable(bool on) {
  const std::unique_ptr<QSettings> store = OpenPositionStore();
  if (!store)
    return;
  store->setValue(QStringLiteral("AlwaysReadable"), on ? QStringLiteral("1") : QStringLiteral("0"));
  store->sync();
}

QPoint CentredIn(const QRect &area, QSize frame) {
  const double left = (area.width() * kTwipsPerPixel - frame.width() * kTwipsPerPixel) / 2;
  const double top = (area.height() * kTwipsPerPixel - frame.height() * kTwipsPerPixel) / 2;
  // The area need not start at the desktop's origin. A window taller than
  // the area keeps its title band, which moves it, on the area.
  return {area.left() + TwipsToPixels(left), area.top() + std::max(0, TwipsToPixels(top))};
}

namespace desktop {
namespace {

// The stored texts are written by QString::number; a user's hand edit may use
// the locale's decimal comma.
std::optional<double> toNumber(const QString &text) {
  bool ok = false;
  double v = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok)
    v = QLocale().toDouble(text.trimmed(), &ok);
  // "nan" and "inf" read as numbers, but no window has such a place or size.
  if (ok && std::isfinite(v))
    return v;
  return std::nullopt;
}

QString toText(double twips) {
  return QString::number(static_cast<float>(twips), 'g', 9);
}

void centre(QWidget *window) {
  const QScreen *screen = QGuiApplication::primaryScreen();
  if (!screen)
    return;
  window->move(CentredIn(screen->geometry(), window->frameGeometry().size()));
}

bool onSomeScreen(const QRect &rect) {
  for (const QScreen *screen : QGuiApplication::screens())
    if (screen->geometry().intersects(rect))
      return true;
  return false;
}

void openFolderOf(const QString &path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace

// Lives on the dragged window. Where the window system has a move loop it
// takes over the drag, once per press: the loop grabs the pointer, so the
// window never hears of the release and Qt goes on believing the button is
// held; a second request on a later movement would start a move with no
// button down that ends only at the next click. Every move the loop makes is
// stored as it happens. Elsewhere the window follows the pointer from the
// first movement with the button held until the button is released.
class DragFollower : public QObject {
public:
  static constexpr char kName[] = "zubDragFollower";

  explicit DragFollower(QWidget *window) : QObject(window), window_(window) {
    setObjectName(QLatin1String(kName));
    window->installEventFilter(this);
    qApp->installEventFilter(this);
  }

  void onMouseMove(const QMouseEvent &event) {
    if (!(event.buttons() & Qt::LeftButton)) {
      anchor_.reset();
      return;
    }
    if (systemMoveThisPress_)
      return; // the window system's loop had this press
    const QPoint pointer = event.globalPosition().toPoint();
    if (anchor_) {
      window_->move(pointer - *anchor_);
      return;
    }
    QWindow *handle = window_->windowHandle();
    if (handle && handle->startSystemMove()) {
      systemMoveThisPress_ = true;
      systemMoves_ = true;
      return;
    }
    anchor_ = pointer - window_->pos();
  }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
      // A new press: the window system's loop, if any, has ended.
      systemMoveThisPress_ = false;
      anchor_.reset();
      break;
    case QEvent::MouseButtonRelease:
      anchor_.reset();
      break;
    case QEvent::Move:
      if (watched == window_ && systemMoves_ && !window_->isMinimized())
        SaveWindowPosition(window_);
      break;
    default:
      break;
    }
    return false;
  }

private:
  QWidget *window_;
  std::optional<QPoint> anchor_;
  bool systemMoveThisPress_ = false;
  // The window system moves this window: its moves are stored even after
  // the press that started them, since the loop reports them late.
  bool systemMoves_ = false;
};

void DragMoveWindow(QWidget *window, const QMouseEvent &event) {
  // Found by name: the follower has no meta-object of its own to cast with.
  auto *drag = static_cast<DragFollower *>(
      window->findChild<QObject *>(QLatin1String(DragFollower::kName), Qt::FindDirectChildrenOnly));
  if (!drag)
    drag = new DragFollower(window);
  drag->onMouseMove(event);
}

void ApplyColourKey(QWidget *window, const QImage &look, QRgb key) {
  const QRect area = window->rect();
  const QRgb keyPixel = key | 0xFF000000u;
  QImage own = look;
  if (look.format() != QImage::Format_RGB32) { // seen over the key, as it is painted
    own = QImage(look.size(), QImage::Format_RGB32);
    own.fill(keyPixel);
    QPainter p(&own);
    p.drawImage(0, 0, look);
  }
  const int width = std::min(own.width(), area.width());
  const int height = std::min(own.height(), area.height());
  // Runs of opaque pixels, row by row; the window has only a few per row,
  // and rows alike are merged into one band before they join the region.
  QRegion opaque;
  std::vector<std::pair<int, int>> runs, band;
  int bandTop = 0;
  const auto flush = [&](int bottom) {
    for (const auto &[start, end] : band)
      opaque += QRect(start, bandTop, end - start, bottom - bandTop);
  };
  for (int y = 0; y < height; ++y) {
    runs.clear();
    const auto *row = reinterpret_cast<const QRgb *>(own.constScanLine(y));
    for (int x = 0; x < width;) {
      if (row[x] == keyPixel) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < width && row[x] != keyPixel)
        ++x;
      runs.emplace_back(start, x);
    }
    if (runs != band) {
      flush(y);
      band.swap(runs);
      bandTop = y;
    }
  }
  flush(height);
  for (const QObject *child : window->children()) {
    const auto *control = qobject_cast<const QWidget *>(child);
    if (control && !control->isWindow() && !control->isHidden())
      opaque += control->geometry() & area;
  }
  window->setMask(opaque);
}

void OpenUrl(const QString &target) {
  QDesktopServices::openUrl(QUrl(target));
}

void ShowInFileManager(const QString &path, const QDBusConnection &bus) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  if (!bus.isConnected()) {
    openFolderOf(absolute);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"),
      QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << QStringList{QUrl::fromLocalFile(absolute).toString(QUrl::FullyEncoded)} << QString();
  auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 10000));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [absolute](QDBusPendingCallWatcher *w) {
                     if (w->isError())
                       openFolderOf(absolute);
                     w->deleteLater();
                   });
}

void SaveWindowPosition(const QWidget *window) {
  const std::unique_ptr<QSettings> store = OpenPositionStore();
  if (!store)
    return; // not a file the window may write: nobody is told
  const QRect frame = window->frameGeometry();
  const std::pair<const char *, int> values[] = {{"Left", frame.left()},
                                                 {"Top", frame.top()},
                                                 {"Width", frame.width()},
                                                 {"Height", frame.height()}};
  // The pointer passing over a window that stays put stores nothing new:
  // the file is rewritten only when a value differs from the one stored.
  bool same = true;
  for (const auto &[key, pixels] : values)
    same = same && store->value(QLatin1String(key)).toString() == toText(pixels * kTwipsPerPixel);
  if (same)
    return;
  for (const auto &[key, pixels] : values)
    store->setValue(QLatin1String(key), toText(pixels * kTwipsPerPixel));
  // One write for the four values; a store that cannot be written is left
  // as it was, and nobody is told.
  store->sync();
}

void LoadWindowPosition(QWidget *window) {
  const std::unique_ptr<QSettings> store = OpenPositionStore();
  if (!store) {
    centre(window); // as with nothing stored
    return;
  }
  auto text = [&](const char *key) { return store->value(QLatin1String(key)).toString(); };
  const QString l = text("Left"), t = text("Top"), w = text("Width"), h = text("Height");
  if (l.isEmpty() || t.isEmpty()) {
    centre(window);
    return;
  }
  const std::optional<double> width = toNumber(w), height = toNumber(h);
  if (!width || !height)
    return; // cannot compare: the window keeps its designed position
  const QRect frame = window->frameGeometry();
  if (*height != frame.height() * kTwipsPerPixel || *width != frame.width() * kTwipsPerPixel) {
    centre(window);
    return;
  }
  const std::optional<double> left = toNumber(l), top = toNumber(t);
  if (!left || !top)
    return;
  const QRect target(TwipsToPixels(*left), TwipsToPixels(*top), frame.width(), frame.height());
  // A monitor that is gone would leave the window where nobody can reach it.
  if (!onSomeScreen(target)) {
    centre(window);
    return;
  }
  window->move(target.topLeft());
}

// clang-format 14 takes a non-ASCII name in this comment for a wrong one
// and asks for the same comment again: its check is left out here.
// clang-format off
} // namespace desktop
// clang-format on
} // namespace zub
