#pragma once

// The real window program, started as a process of its own: its runtime
// folder (the instance lock) and its settings live in the test's scratch
// folder; its home and its session bus, none, are the test process's own
// (ScratchHome.cpp).

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace zub::test {

inline QProcessEnvironment
ProgramEnvironment(const QTemporaryDir &dir,
                   const QString &platform = QStringLiteral("offscreen")) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
  return env;
}

inline std::unique_ptr<QProcess>
StartProgram(const QProcessEnvironment &env, const QString &program, const QStringList &args = {}) {
  auto p = std::make_unique<QProcess>();
  p->setProcessEnvironment(env);
  p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p->start(program, args);
  EXPECT_TRUE(p->waitForStarted(10000));
  return p;
}

} // namespace zub::test
