#pragma once

// The main window with a scripted desktop, and what the tests of hostile
// input, faults and long use need around it: sample logos in several
// formats, the process's memory, and file access without root's privileges.

#include "Dialogs.h"
#include "MainWindow.h"
#include "ScriptedWindow.h"
#include "SingleInstance.h"
#include "TestSupport.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace zub::robust {

using test::Shown;

// A main window on a scripted desktop (test::ScriptedDesktop): the logo
// dialog returns `logoChoice`, the save dialog `saveChoice`, message boxes
// are recorded and answered No. Settings and the instance lock live in `dir`.
class WindowTest : public ::testing::Test, public test::ScriptedDesktop {
protected:
  void SetUp() override;
  void TearDown() override;

  // A window of this fixture's desktop, not yet loaded.
  std::unique_ptr<MainWindow> MakeForm();
  // `form` = MakeForm(), then load and shown on the screen.
  void Start();

  // Clicks "生成二维码" with `text` in messageEdit_ and `logo` as the dialog's
  // answer, and returns once the generation is over.
  void Generate(const QString &text, const std::optional<QString> &logo);
  // Clicks "保存二维码" with `path` as the save dialog's answer.
  void Save(const std::optional<QString> &path);

  // The composite in the symbol holder, as RGB32.
  QImage Composite() const;
  QString File(const QString &name) const { return dir.filePath(name); }
  // Writes `bytes` to `name` in the scratch folder; the full path.
  QString Write(const QString &name, const QByteArray &bytes) const;

  QTemporaryDir dir;
  std::unique_ptr<MainWindow> form;
  std::unique_ptr<SingleInstance> instance;
  int scanWarnings = 0; // the scan check's warnings, counted apart
};

// What the window shows for `text` with the default options: the library's
// composite with `logo`, or the symbol alone for a null logo.
QImage ExpectedComposite(const QString &text, const QImage &logo);

// The shared sample logo.
using test::SampleLogo;
// `image` in the file format `format` ("png", "jpg", "bmp").
QByteArray Encoded(const QImage &image, const char *format);
QByteArray ReadFile(const QString &path);

// Resident memory of this process, and its peak since the last
// ResetPeakResident() (or the start), in bytes. The peak is 0 where the
// system keeps none.
qint64 ResidentBytes();
qint64 PeakResidentBytes();
bool ResetPeakResident();

// While it lives, the process reaches files as an ordinary user ("nobody"
// when the tests run as root, whose privileges would open every file), so
// permission bits count. `active()` is false when that cannot be
// arranged; the test then says so and skips.
class OrdinaryFileAccess {
public:
  OrdinaryFileAccess();
  ~OrdinaryFileAccess();
  OrdinaryFileAccess(const OrdinaryFileAccess &) = delete;
  OrdinaryFileAccess &operator=(const OrdinaryFileAccess &) = delete;
  bool active() const { return active_; }

private:
  bool active_ = false;
  bool switched_ = false;
};

} // namespace zub::robust
