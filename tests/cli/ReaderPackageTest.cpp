// zubqr as the program's package installs it without the WeChat engine's
// reader, which comes in a package of its own: the program and its module
// copied without zubqr-wechat.so.
#include "CliSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct Ran {
  int status = -1;
  QString err;
};

Ran RunAt(const QString &program, const QStringList &args, const QString &lang) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"})
    env.remove(QString::fromLatin1(name));
  env.insert(QStringLiteral("LANG"), lang);
  p.setProcessEnvironment(env);
  p.start(program, args);
  p.closeWriteChannel();
  p.waitForFinished(120000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

// Without the module compose checks with zxing-cpp and zbar, writes a code
// that scans and, with --verbose, says once, in the user's language, that
// two readers checked and which package brings the third, also for a
// batch; never that the code went unchecked. A module that lies there but
// does not load, or that others could change, is said as such. With the
// module, three readers and nothing said of it.
TEST(ReaderPackage, ComposeWithoutTheWechatEngineChecksWithTwoReadersAndSaysSo) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString built = QFileInfo(QStringLiteral(ZUBQR_PATH)).absolutePath();
  const QString bin = dir.filePath(QStringLiteral("bin"));
  ASSERT_TRUE(QDir().mkpath(bin));
  ::chmod(QFile::encodeName(bin).constData(), 0755);
  for (const char *file : {"zubqr", "zubqr-compose.so"}) {
    ASSERT_TRUE(QFile::copy(built + '/' + file, bin + '/' + file)) << file;
  }
  const QString zubqr = bin + QStringLiteral("/zubqr");
  const QString module = bin + QStringLiteral("/zubqr-wechat.so");
  const QString logo = QStringLiteral(TEST_LOGO_PATH);
  QFile batch(dir.filePath(QStringLiteral("batch.txt")));
  ASSERT_TRUE(batch.open(QIODevice::WriteOnly));
  batch.write("one\ntwo\nthree\n");
  batch.close();
  const QString out = dir.filePath(QStringLiteral("out"));
  ASSERT_TRUE(QDir().mkpath(out));

  enum Module { Missing, Junk, OthersMayWrite, Real };
  const struct {
    Module module;
    const char *chinese, *english; // what is said, once; empty: nothing
  } cases[] = {
      {Missing,
       "zubqr compose: OpenCV的微信扫码引擎没有安装（软件包zubqr-wechat-reader），"
       "所以这次只用zxing-cpp和zbar两个读码器检查。",
       "zubqr compose: the WeChat engine from OpenCV is not installed (package "
       "zubqr-wechat-reader), so this check used two readers: zxing-cpp and zbar."},
      {Junk, "无法载入", "does not load"},
      {OthersMayWrite, "不可信", "is not trusted"},
      {Real, "", ""},
  };
  for (const auto &c : cases) {
    QFile::remove(module);
    if (c.module == Junk || c.module == OthersMayWrite) {
      QFile junk(module);
      ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
      junk.write("not a module");
      junk.close();
      ::chmod(QFile::encodeName(module).constData(), c.module == Junk ? 0755 : 0775);
    }
    if (c.module == Real) {
      ASSERT_TRUE(QFile::copy(built + QStringLiteral("/zubqr-wechat.so"), module));
    }
    for (const bool chinese : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.module << (chinese ? " zh_CN" : " C"));
      const QString lang = chinese ? QStringLiteral("zh_CN.UTF-8") : QStringLiteral("C.UTF-8");
      const QString said = QString::fromUtf8(chinese ? c.chinese : c.english);
      const QString picture = dir.filePath(QStringLiteral("c.png"));
      QFile::remove(picture);
      const Ran one = RunAt(
          zubqr, {"compose", "--verbose", "--readable", "installed", "--logo", logo, "-o", picture},
          lang);
      EXPECT_EQ(one.status, 0) << one.err.toStdString();
      const Ran read = RunAt(zubqr, {"read", picture}, lang);
      EXPECT_EQ(read.status, 0) << read.err.toStdString();
      const Ran many = RunAt(
          zubqr, {"compose", "--verbose", "--batch", batch.fileName(), "--logo", logo, "-o", out},
          lang);
      EXPECT_EQ(many.status, 0) << many.err.toStdString();
      for (const QString &err : {one.err, many.err}) {
        EXPECT_FALSE(err.contains(QStringLiteral("没有经过检查")) ||
                     err.contains(QStringLiteral("无法检查")) || err.contains("cannot check"))
            << err.toStdString();
        if (said.isEmpty()) {
          EXPECT_FALSE(err.contains(QStringLiteral("WeChat")) ||
                       err.contains(QStringLiteral("微信")))
              << err.toStdString();
        } else {
          EXPECT_EQ(err.count(said), 1) << err.toStdString();
          EXPECT_EQ(
              err.count(chinese ? QStringLiteral("两个读码器") : QStringLiteral("two readers")), 1)
              << err.toStdString();
        }
      }
      // Only --verbose says it.
      const Ran quiet = RunAt(zubqr, {"compose", "installed", "--logo", logo, "-o", picture}, lang);
      EXPECT_FALSE(quiet.err.contains(QStringLiteral("WeChat")) ||
                   quiet.err.contains(QStringLiteral("微信")))
          << quiet.err.toStdString();
    }
  }
}
