#include "Support.h"
#include "WindowProbe.h"

#include "Composite.h"
#include "Layout.h"
#include "MessageBytes.h"
#include "QrEncoder.h"
#include "Stretch.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QImageWriter>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

#include <unistd.h>

namespace zub::robust {

void WindowTest::SetUp() {
  ASSERT_TRUE(dir.isValid());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
}

void WindowTest::TearDown() {
  form.reset();
  instance.reset();
}

std::unique_ptr<MainWindow> WindowTest::MakeForm() {
  auto f = test::MakeForm(*this, dir);
  // What the scan check says of a code (and the code it offers) is another
  // suite's matter; these tests count the messages of faults.
  f->services.dialogs.warning = [this](const WarningRequest &r) {
    ++scanWarnings;
    return r.accept.isEmpty() ? MessageAnswer::Ok : MessageAnswer::No;
  };
  return f;
}

void WindowTest::Start() {
  form = MakeForm();
  test::LoadAndShow(*form, instance, dir);
}

void WindowTest::Generate(const QString &text, const std::optional<QString> &logo) {
  Probe(*form).messageEdit()->setPlainText(text);
  logoChoice = logo;
  test::FinishGeneration(
      *form, [this] { QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton); });
}

void WindowTest::Save(const std::optional<QString> &path) {
  saveChoice = path;
  QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
}

QImage WindowTest::Composite() const {
  return Probe(*form).saveBox()->backgroundPicture().convertToFormat(QImage::Format_RGB32);
}

QString WindowTest::Write(const QString &name, const QByteArray &bytes) const {
  const QString path = File(name);
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  EXPECT_EQ(file.write(bytes), bytes.size());
  return path;
}

QImage ExpectedComposite(const QString &text, const QImage &logo) {
  const std::vector<std::uint8_t> message = MessageBytes(text, TextEncoding::Utf8);
  QrEncoder encoder;
  const Picture symbol = encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 0,
                                            kLevelM, 0, KanjiMode::Excluded);
  return logo.isNull() ? StretchSymbol(symbol, kCanvasSize) : ComposeQRPicture(symbol, logo);
}

QByteArray Encoded(const QImage &image, const char *format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  EXPECT_TRUE(writer.write(image)) << format;
  return bytes;
}

QByteArray ReadFile(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

// A "VmRSS:" or "VmHWM:" line of /proc/self/status, in bytes.
qint64 StatusKilobytes(const char *key) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly))
    return 0;
  for (const QByteArray &line : status.readAll().split('\n'))
    if (line.startsWith(key))
      return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong() *
             1024;
  return 0;
}

} // namespace

qint64 ResidentBytes() {
  return StatusKilobytes("VmRSS:");
}

qint64 PeakResidentBytes() {
  return StatusKilobytes("VmHWM:");
}

bool ResetPeakResident() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

OrdinaryFileAccess::OrdinaryFileAccess() {
  if (::geteuid() != 0) {
    active_ = true;
    return;
  }
  // For every thread (the logo is read on the thread pool): leaving
  // effective user id 0 drops the capabilities that let root past
  // permission bits, and going back restores them.
  constexpr uid_t kNobody = 65534;
  if (::setegid(kNobody) != 0)
    return;
  if (::seteuid(kNobody) != 0) {
    ::setegid(0);
    return;
  }
  switched_ = active_ = true;
}

OrdinaryFileAccess::~OrdinaryFileAccess() {
  if (switched_) {
    ::seteuid(0);
    ::setegid(0);
  }
}

} // namespace zub::robust
