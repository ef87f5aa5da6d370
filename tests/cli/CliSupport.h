#pragma once
// Running zubqr as a script does, and reading what it wrote.
#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <optional>

namespace zub::clitest {

// Under the sanitizers a process reserves address space of its own and
// holds more than it uses: no bound on memory means anything there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

struct Outcome {
  int status = -1;
  QByteArray err;
  QByteArray out;
};

// zubqr's messages follow the locale; `locale` names the variables to set
// (LC_ALL, LC_MESSAGES, LANG), the others are removed. By default it speaks
// English, whatever the machine running the tests is set to.
inline Outcome Zubqr(const QStringList &args, const QByteArray &input = {},
                     const QList<QPair<QString, QString>> &locale = {
                         {QStringLiteral("LANG"), QStringLiteral("C.UTF-8")}}) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"})
    env.remove(QString::fromLatin1(name));
  for (const auto &[name, value] : locale)
    env.insert(name, value);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(ZUBQR_PATH), args);
  p.write(input);
  p.closeWriteChannel();
  p.waitForFinished(60000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError(),
          p.readAllStandardOutput()};
}

// Runs `script` with sh, zubqr's path in $ZUBQR and `args` as "$@": for the
// redirections, limits and pipes a script puts around zubqr.
inline Outcome Shell(const QString &script, const QStringList &args = {}, int timeoutMs = 60000) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ZUBQR"), QStringLiteral(ZUBQR_PATH));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral("sh"),
          QStringList{QStringLiteral("-c"), script, QStringLiteral("sh")} + args);
  p.closeWriteChannel();
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return {-2, "timed out", {}};
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError(),
          p.readAllStandardOutput()};
}

// What a reader finds in `picture`: the first QR Code's bytes. Pictures
// of one pixel a module are enlarged four times first, as a reader needs.
inline std::optional<QByteArray> Decode(const QImage &picture, bool enlarge) {
  if (picture.isNull())
    return std::nullopt;
  QImage image = picture.convertToFormat(QImage::Format_Grayscale8);
  if (enlarge)
    image = image.scaled(image.width() * 4, image.height() * 4, Qt::IgnoreAspectRatio,
                         Qt::FastTransformation);
  const std::vector<test::Decoded> found = test::DecodeAll(image);
  if (found.empty())
    return std::nullopt;
  const std::vector<std::uint8_t> &b = found.front().bytes;
  return QByteArray(reinterpret_cast<const char *>(b.data()), static_cast<qsizetype>(b.size()));
}

// What a reader finds in the picture file at `path`, enlarged four times.
inline std::optional<QByteArray> Read(const QString &path) {
  return Decode(QImage(path), true);
}

// A scratch folder of the test's own, holding a plain logo (logo.png) for
// the commands to take.
class CliScratch : public ::testing::Test {
protected:
  void SetUp() override {
    QImage logo(64, 48, QImage::Format_RGB32);
    logo.fill(QColor(30, 90, 200));
    ASSERT_TRUE(logo.save(File("logo.png")));
  }
  QString File(const QString &name) const { return dir.filePath(name); }
  QTemporaryDir dir;
};

} // namespace zub::clitest
