// The window as people use it: a change of mind in the logo dialog, the
// dialogs' filters and start folders, the pointer passing over the window,
// and the word when a text is too long.

#include "Support.h"
#include "WindowProbe.h"

#include "DesktopActions.h"
#include "MainWindow.h"
#include "Theme.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPalette>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <cmath>

#include <sys/stat.h>

namespace {

class EverydayUseTest : public FormTest {
protected:
  // Clicks "生成二维码" with `logo` as the dialog's answer (nothing: Esc).
  void Generate(const std::optional<QString> &logo) {
    logoChoice = logo;
    QSignalSpy finished(form.get(), &zub::MainWindow::generationFinished);
    form->generateWithLogoDialog();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  }
  void generateWithoutLogo() {
    QSignalSpy finished(form.get(), &zub::MainWindow::generationFinished);
    form->generateWithoutLogo();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  }

  // What the canvas shows on the screen, the logo box over it included.
  QImage Shown() const {
    return Probe(*form).canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  QString WriteLogo(const QString &name, const char *format) const {
    QImage logo(120, 90, QImage::Format_RGB32);
    for (int y = 0; y < logo.height(); ++y)
      for (int x = 0; x < logo.width(); ++x)
        logo.setPixel(x, y, qRgb(200, 2 * x, 2 * y));
    const QString path = dir.filePath(name);
    EXPECT_TRUE(logo.save(path, format));
    return path;
  }
};

} // namespace

// 生成二维码 with a logo, 生成二维码（不加Logo）, 生成二维码 and Esc: the window
// shows exactly what it showed, and saving writes exactly that.
TEST_F(EverydayUseTest, CancelledLogoChoiceLeavesTheWindowAsItWas) {
  LoadAndShow();
  const QString logo = WriteLogo(QStringLiteral("logo.png"), "PNG");
  Generate(logo);
  generateWithoutLogo();
  const QImage before = Shown();
  const QImage composite =
      Probe(*form).saveBox()->backgroundPicture().convertToFormat(QImage::Format_RGB32);
  // What is shown is what is held for saving.
  ASSERT_EQ(before, composite.scaled(before.size()));

  Generate(std::nullopt);
  EXPECT_EQ(Shown(), before);
  EXPECT_EQ(Probe(*form).saveBox()->backgroundPicture().convertToFormat(QImage::Format_RGB32),
            composite);

  saveChoice = dir.filePath(QStringLiteral("saved.png"));
  form->save();
  const QImage saved(*saveChoice);
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32).scaled(before.size()), before);
}

// Before the first code a cancel leaves the sample as it was, too.
TEST_F(EverydayUseTest, CancelBeforeAnyCodeChangesNothing) {
  LoadAndShow();
  const QImage before = Shown();
  Generate(std::nullopt);
  EXPECT_EQ(Shown(), before);
  EXPECT_FALSE(Probe(*form).symbolHolder()->hasPicture());
}

// The historic entries first and preselected, then one that lists every
// format the loader reads, in either case; each such logo loads.
TEST_F(EverydayUseTest, LogoFilterListsEveryFormatTheLoaderReads) {
  LoadAndShow();
  Generate(std::nullopt);
  ASSERT_EQ(openRequests.size(), 1u);
  const QStringList filters = zub::QtNameFilters(openRequests[0].filter);
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0], QStringLiteral("图片文件(*.JPG) (*.JPG *.bmp)"));
  EXPECT_EQ(filters[1], QStringLiteral("图片文件(*.bmp) (*.JPG *.bmp)"));
  EXPECT_EQ(openRequests[0].filterIndex, 3);
  for (const char *suffix : {"jpg", "jpeg", "png", "bmp", "gif"}) {
    EXPECT_TRUE(filters[2].contains(QStringLiteral("*.") + QLatin1String(suffix))) << suffix;
    EXPECT_TRUE(filters[2].contains(QStringLiteral("*.") + QString::fromLatin1(suffix).toUpper()))
        << suffix;
  }
  // Every format the last entry names is one the loader takes.
  for (const auto &[suffix, format] : {std::pair{"jpg", "JPEG"}, std::pair{"jpeg", "JPEG"},
                                       std::pair{"PNG", "PNG"}, std::pair{"bmp", "BMP"}}) {
    const QString path = WriteLogo(QStringLiteral("logo.") + QLatin1String(suffix), format);
    EXPECT_TRUE((zub::LoadLogo(path).problem == zub::LogoProblem::None)) << suffix;
  }
  // Qt writes no GIF: a 1 x 1 one by hand.
  const QString gif = dir.filePath(QStringLiteral("logo.GIF"));
  QFile file(gif);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c00000000"
                                 "010001000002024401003b"));
  file.close();
  EXPECT_TRUE((zub::LoadLogo(gif).problem == zub::LogoProblem::None));
}

// The logo dialog opens where the last logo came from, its name filled in;
// before any logo it keeps what the save dialog left.
TEST_F(EverydayUseTest, LogoDialogReturnsToTheLastLogo) {
  LoadAndShow();
  const QString logo = WriteLogo(QStringLiteral("logo.png"), "PNG");
  Generate(logo);
  Generate(std::nullopt);
  ASSERT_EQ(openRequests.size(), 2u);
  EXPECT_EQ(openRequests[0].fileName, QString());
  EXPECT_EQ(openRequests[1].startFolder, QFileInfo(logo).absolutePath());
  EXPECT_EQ(openRequests[1].fileName, logo);
  // A cancel does not forget it.
  Generate(std::nullopt);
  EXPECT_EQ(openRequests[2].fileName, logo);
}

// The save dialog: the last save's folder; the first time the program's own
// folder only for a portable copy (its skin beside it), else Pictures.
TEST(SaveStartFolder, LastSaveThenPortableProgramFolderElsePictures) {
  QTemporaryDir scratch;
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  const QString fallback = QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
  const QString installed = scratch.filePath(QStringLiteral("bin"));
  const QString portable = scratch.filePath(QStringLiteral("portable"));
  const QString last = scratch.filePath(QStringLiteral("last"));
  for (const QString &folder : {installed, portable, last})
    ASSERT_TRUE(QDir().mkpath(folder));
  QFile skin(QDir(portable).filePath(QStringLiteral("she.she")));
  ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
  skin.close();

  // ~/.local/bin: writable, and still no place for pictures.
  EXPECT_EQ(zub::SaveStartFolder(installed), fallback);
  EXPECT_EQ(zub::SaveStartFolder(portable), portable);
  EXPECT_EQ(zub::SaveStartFolder(installed, last), last);
  EXPECT_EQ(zub::SaveStartFolder(portable, last), last);
  // A last folder that is gone, and program folders nobody can save into.
  EXPECT_EQ(zub::SaveStartFolder(portable, scratch.filePath(QStringLiteral("gone"))), portable);
  EXPECT_EQ(zub::SaveStartFolder(scratch.filePath(QStringLiteral("gone"))), fallback);
  if (::geteuid() != 0) { // root writes everywhere
    ASSERT_EQ(::chmod(QFile::encodeName(portable).constData(), 0555), 0);
    EXPECT_EQ(zub::SaveStartFolder(portable), fallback);
    ::chmod(QFile::encodeName(portable).constData(), 0755);
  }
}

TEST_F(EverydayUseTest, SaveDialogStartsWhereTheLastSaveWent) {
  LoadAndShow();
  generateWithoutLogo();
  const QString folder = dir.filePath(QStringLiteral("pictures"));
  ASSERT_TRUE(QDir().mkpath(folder));
  saveChoice = QDir(folder).filePath(QStringLiteral("a.png"));
  form->save();
  saveChoice = std::nullopt;
  form->save();
  ASSERT_EQ(saveRequests.size(), 2u);
  EXPECT_EQ(saveRequests[1].startFolder, folder);
  EXPECT_EQ(saveRequests[1].fileName, QStringLiteral("二维码"));
}

// The position is stored on moves over the background as before, but a
// pointer passing over a window that stays put rewrites nothing; a drag
// stores where it ended.
TEST_F(EverydayUseTest, PointerOverAStillWindowWritesNothing) {
  LoadAndShow();
  SendMouse(Probe(*form).canvas(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  const QByteArray file = QFile::encodeName(zub::PositionStorePath());
  struct stat first {};
  ASSERT_EQ(::stat(file.constData(), &first), 0);
  const QString left = stored("Left"), top = stored("Top");
  EXPECT_EQ(left, QString::number(form->frameGeometry().left() * 15));

  for (int i = 0; i < 50; ++i)
    SendMouse(i % 2 ? static_cast<QWidget *>(form.get()) : Probe(*form).canvas(), QEvent::MouseMove,
              Qt::NoButton, Qt::NoButton, QPoint(5 + i, 7 + i));
  struct stat after {};
  ASSERT_EQ(::stat(file.constData(), &after), 0);
  // Every store writes a new file and renames it over the old one.
  EXPECT_EQ(after.st_ino, first.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, first.st_mtim.tv_nsec);

  // The window moved: the next move over the background stores it.
  form->move(form->pos() + QPoint(40, 30));
  SendMouse(Probe(*form).canvas(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(stored("Left"), QString::number(form->frameGeometry().left() * 15));
  EXPECT_EQ(stored("Top"), QString::number(form->frameGeometry().top() * 15));
  EXPECT_NE(stored("Left"), left);
}

// The word for a text that does not fit names only what would help with
// the options in force, and the level when it is not the default.
TEST(TooLongText, AdvisesOnlyWhatWouldHelp) {
  const struct {
    zub::TooLongHelp help;
    const char *advice;
  } rows[] = {
      {{0, 2, false, true, false}, "请缩短文字内容，或选择更低的纠错等级。"},
      {{0, 2, false, false, false}, "请缩短文字内容。"},
      {{10, 2, true, true, false}, "请缩短文字内容，或选择更大的版本、更低的纠错等级。"},
      {{10, 1, true, false, false}, "请缩短文字内容，或选择更大的版本。"},
      {{10, 3, false, false, true}, "请缩短文字内容，或同时选择更大的版本和更低的纠错等级。"},
  };
  for (const auto &row : rows) {
    const QString text = zub::TooLongText(row.help);
    SCOPED_TRACE(text.toStdString());
    EXPECT_TRUE(text.startsWith(QStringLiteral("内容过长，无法生成二维码。\r\n")));
    EXPECT_TRUE(text.endsWith(QString::fromUtf8(row.advice)));
    EXPECT_EQ(text.contains(QStringLiteral("当前纠错等级")), row.help.ecLevel != 2);
    // Plain Chinese: no half-width punctuation.
    for (QChar c : {QChar(u','), QChar(u'.'), QChar(u'('), QChar(u')')})
      EXPECT_FALSE(text.contains(c)) << c.toLatin1();
  }
  EXPECT_TRUE(zub::TooLongText({0, 3, false, true, false}).contains(QStringLiteral("Q（25%）")));
  EXPECT_TRUE(zub::TooLongText({0, 4, false, true, false}).contains(QStringLiteral("H（30%）")));
}

// Through the window: what each option set makes of a text too long.
TEST_F(EverydayUseTest, TooLongMessageFollowsTheOptionsInForce) {
  LoadAndShow();
  // Letters in alphanumeric mode: version 40 holds 4296 at L, 3391 at M,
  // 2420 at Q; version 10 holds 395 at L, 311 at M.
  const QString fitsAtAuto(3000, QLatin1Char('A'));
  const QString fitsVersion10AtL(350, QLatin1Char('A'));
  const QString fitsOnlyAtL(4000, QLatin1Char('A'));
  const QString never(5000, QLatin1Char('A'));
  const struct {
    QString text;
    int version, level; // list positions
    const char *advice;
  } rows[] = {
      {fitsOnlyAtL, 0, 1, "请缩短文字内容，或选择更低的纠错等级。"},
      {never, 0, 1, "请缩短文字内容。"},
      {fitsAtAuto, 10, 1, "请缩短文字内容，或选择更大的版本。"},
      {fitsOnlyAtL, 10, 2, "请缩短文字内容，或同时选择更大的版本和更低的纠错等级。"},
      {fitsVersion10AtL, 10, 1, "请缩短文字内容，或选择更大的版本、更低的纠错等级。"},
      {never, 0, 0, "请缩短文字内容。"},
  };
  for (const auto &row : rows) {
    Probe(*form).messageEdit()->setPlainText(row.text);
    Probe(*form).optionLists()[0]->setCurrentIndex(row.version);
    Probe(*form).optionLists()[1]->setCurrentIndex(row.level);
    messages.clear();
    generateWithoutLogo();
    ASSERT_EQ(messages.size(), 1u);
    SCOPED_TRACE(messages[0].text.toStdString());
    EXPECT_TRUE(messages[0].text.endsWith(QString::fromUtf8(row.advice)));
    EXPECT_EQ(messages[0].text.contains(QStringLiteral("当前纠错等级")), row.level != 1);
  }
}

// While busy the buttons are greyed: the skin gives a disabled button a look
// of its own, and its text keeps a readable contrast.
TEST_F(EverydayUseTest, DisabledButtonLooksDisabled) {
  ASSERT_TRUE(zub::ApplySkinFile(QStringLiteral(ZUB_SKIN_SOURCE)));
  LoadAndShow();
  const QImage enabled = Probe(*form).generateButton()->grab().toImage();
  Probe(*form).generateButton()->setEnabled(false);
  const QImage disabled = Probe(*form).generateButton()->grab().toImage();
  EXPECT_NE(enabled, disabled);
  // The middle of the button's face, away from its caption.
  const QColor face = disabled.pixelColor(3, disabled.height() / 2);
  const QColor normal = enabled.pixelColor(3, enabled.height() / 2);
  EXPECT_GT(std::abs(face.saturation() - normal.saturation()), 100);
}

// A theme's pairs that do not keep 4.5 : 1 are moved apart, the selection by
// its colour (its hue kept), the others by their text; good pairs are kept.
TEST(ReadablePalette, MovesOnlyThePairsThatAreTooClose) {
  QPalette theme;
  theme.setColor(QPalette::Base, Qt::white);
  theme.setColor(QPalette::Text, QColor(0xF2, 0xF2, 0xF2)); // the dark theme's text on white
  theme.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
  theme.setColor(QPalette::WindowText, Qt::white); // fine as it is
  theme.setColor(QPalette::Highlight, QColor(0x30, 0x8C, 0xC6));
  theme.setColor(QPalette::HighlightedText, Qt::white);
  theme.setColor(QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
  theme.setColor(QPalette::ToolTipText, QColor(0x40, 0x40, 0x40));
  const QPalette readable = zub::ReadablePalette(theme);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    for (const auto &[text, background] : {std::pair{QPalette::Text, QPalette::Base},
                                           {QPalette::WindowText, QPalette::Window},
                                           {QPalette::HighlightedText, QPalette::Highlight},
                                           {QPalette::ToolTipText, QPalette::ToolTipBase}})
      EXPECT_GE(zub::ContrastRatio(readable.color(group, text), readable.color(group, background)),
                4.5)
          << text << " on " << background;
    EXPECT_EQ(readable.color(group, QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(readable.color(group, QPalette::Window), QColor(0x35, 0x35, 0x35));
    EXPECT_EQ(readable.color(group, QPalette::HighlightedText), QColor(Qt::white));
    EXPECT_EQ(readable.color(group, QPalette::Highlight).hslHue(),
              QColor(0x30, 0x8C, 0xC6).hslHue());
    EXPECT_EQ(readable.color(group, QPalette::Base), QColor(Qt::white));
    EXPECT_LT(readable.color(group, QPalette::Text).lightness(), 128);         // darkened on white
    EXPECT_GT(readable.color(group, QPalette::ToolTipText).lightness(), 0x40); // lightened
  }
  EXPECT_EQ(zub::ReadablePalette(readable), readable); // nothing more to do
  EXPECT_NEAR(zub::ContrastRatio(Qt::white, QColor(0x30, 0x91, 0xF2)), 3.25, 0.01);
  EXPECT_NEAR(zub::ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
}
