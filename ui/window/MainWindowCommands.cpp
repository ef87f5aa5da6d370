// The picture commands of the main window: generate, the logo dialog,
// the logo overlay, the composite and the picture context menu. Every pixel
// comes from the composition library, the same code zubqr runs.
//
// A generation can take a second (a large logo photo to decode and shrink),
// so its work runs on the thread pool; the window keeps answering, shows
// that it is busy, and updates its controls in one go when the work reports
// back. Meanwhile generating, saving and copying are refused with a word to
// the user, never dropped unseen.

#include "LogoWords.h"
#include "MainWindow.h"

#include "LogoBox.h"
#include "LogoImage.h"
#include "ReadableCode.h"
#include "VerdictWords.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

namespace zub {

namespace {

// A path of spaces only is no path; any other character may be part of a name.
bool IsBlank(const QString &path) {
  for (QChar c : path)
    if (c != QLatin1Char(' '))
      return false;
  return true;
}

// Which of the options the user can change would make a text that does not
// fit into a code, as the encoder found when it refused it: a larger
// version (the smallest that fits), the lowest level, or only both together.
TooLongHelp WhatWouldFit(const CodeOptions &chosen, const EncodeFailure &failure) {
  TooLongHelp help;
  help.version = chosen.version;
  help.ecLevel = chosen.ecLevel;
  const bool fixedVersion = chosen.version != 0;
  const bool higherThanLowest = chosen.ecLevel > kLevelL;
  help.largerVersion = fixedVersion && failure.smallestVersion != 0;
  help.lowerLevel = higherThanLowest && failure.lowestLevelFits;
  help.both = fixedVersion && higherThanLowest && !help.largerVersion && !help.lowerLevel &&
              failure.smallestVersionAtL != 0;
  return help;
}

void Tell(const Dialogs &dialogs, const QString &text) {
  dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("提示"), text);
}

} // namespace

const char *const kLogoFilter = "图片文件(*.JPG)|*.JPG;*.bmp|图片文件(*.bmp)|*.JPG;*.bmp|"
                                "所有图片(*.jpg;*.jpeg;*.png;*.bmp;*.gif)|"
                                "*.jpg;*.jpeg;*.png;*.bmp;*.gif;*.JPG;*.JPEG;*.PNG;*.BMP;*.GIF";

QString TooLongText(const TooLongHelp &help) {
  static const char *const kLevels[] = {"L（7%）", "M（15%）", "Q（25%）", "H（30%）"};
  QString text = QStringLiteral("内容过长，无法生成二维码。\r\n");
  // A level other than the default may have been set by an earlier offer
  // of a code that scans; the user may not know it is in force.
  if (help.ecLevel != kLevelM && help.ecLevel >= kLevelL && help.ecLevel <= kLevelH)
    text += QStringLiteral("当前纠错等级为") + QString::fromUtf8(kLevels[help.ecLevel - 1]) +
            QStringLiteral("。\r\n");
  if (help.largerVersion && help.lowerLevel)
    text += QStringLiteral("请缩短文字内容，或选择更大的版本、更低的纠错等级。");
  else if (help.largerVersion)
    text += QStringLiteral("请缩短文字内容，或选择更大的版本。");
  else if (help.lowerLevel)
    text += QStringLiteral("请缩短文字内容，或选择更低的纠错等级。");
  else if (help.both)
    text += QStringLiteral("请缩短文字内容，或同时选择更大的版本和更低的纠错等级。");
  else
    text += QStringLiteral("请缩短文字内容。");
  return text;
}

QString MainWindow::messageText() const {
  // The plain-text view turns a no-break space into a space; the raw text
  // keeps every character and separates paragraphs with U+2029.
  QString text = messageEdit_->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text;
}

MainWindow::Inputs MainWindow::currentInputs() const {
  return {messageText(), options_};
}

bool MainWindow::stale() const {
  return shown_ && shownInputs_ && !(*shownInputs_ == currentInputs());
}

// One generation: what the interface thread reads before the work starts,
// and what the work computes from that alone.
struct MainWindow::Generation {
  Inputs inputs;      // the text and the options at the click
  CodeOptions chosen; // what the options ask for
  QString path;       // the logo file as chosen, spaces kept; empty: no logo
  QSize canvasSize;
  QRect logoBox; // the logo box's outer rectangle on the canvas

  LoadedLogo logo;
  // The symbol of the text, when it was encoded before the logo dialog.
  std::optional<MadeCode> encoded;
  // The code of the options chosen, made and judged once, and the search
  // for options that scan when it does not.
  ReadableCode made;
  TooLongHelp help; // when the text does not fit: what other options would

  // Runs off the interface thread; `encoder` is the window's, used by no
  // one else meanwhile. `cancel` is set when the window closes.
  void Compute(QrEncoder &encoder, const std::atomic<bool> &cancel) {
    if (!path.isEmpty()) {
      logo.file = LoadLogo(path, logoBox.size());
      logo.inBox = LogoInBox(logo.file.image, logoBox.size());
    }
    const CodeSource source{inputs.text, {}, logo.inBox, canvasSize, logoBox};
    made = encoded ? FinishReadableCode(encoder, source, std::move(*encoded), &cancel)
                   : MakeReadableCode(encoder, source, chosen, &cancel);
    if (made.verdict == ReadableCode::Verdict::TooLong)
      help = WhatWouldFit(chosen, made.first.failure);
  }

  // The same generation showing `code`, the candidate of the search that
  // scans.
  Generation ShowingCandidate(const MadeCode &code) const {
    Generation next = *this;
    next.chosen = code.options;
    next.made = {};
    next.made.first = code;
    next.made.verdict = ReadableCode::Verdict::Passes;
    return next;
  }
};

bool MainWindow::refuseWhileBusy(const QString &text) {
  if (saving_) {
    Tell(services.dialogs, QStringLiteral("正在保存二维码，请等保存结束。"));
    return true;
  }
  if (!generating_)
    return false;
  Tell(services.dialogs, text);
  return true;
}

bool MainWindow::refuseTooLong() {
  if (!loaded_)
    return false;
  if (!encoder_)
    encoder_ = std::make_unique<QrEncoder>();
  // The symbol alone, without logo or canvas: a millisecond at most.
  CodeSource source;
  source.text = messageText();
  MadeCode encoded = EncodeCode(*encoder_, source, options_);
  if (encoded.Made()) {
    encodedAhead_.emplace(currentInputs(), std::move(encoded));
    return false;
  }
  Tell(services.dialogs, TooLongText(WhatWouldFit(options_, encoded.failure)));
  return true;
}

void MainWindow::generateWithLogoDialog() {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请稍候。")))
    return;
  // A text that fits no code is told before a logo is asked for, which it
  // would not use.
  if (refuseTooLong()) {
    updateCanvasMark();
    emit generationFinished();
    return;
  }
  const QString path = askForLogo();
  if (IsBlank(path)) {
    // A change of mind: the window keeps showing what it showed, which is
    // also what saving writes. Clearing the canvas here would show the
    // sample with a patch of the last code while the last code stays saved.
    emit generationFinished();
    return;
  }
  startGeneration(path);
}

void MainWindow::generateWithoutLogo() {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请稍候。")))
    return;
  startGeneration(QString());
}

void MainWindow::generateWithLogo(const QString &path) {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请稍候。")))
    return;
  startGeneration(path);
}

void MainWindow::startGeneration(const QString &logoPath) {
  // Before load the option lists are empty, and nothing is made.
  if (!loaded_) {
    emit generationFinished();
    return;
  }

  auto work = std::make_shared<Generation>();
  work->inputs = currentInputs();
  work->chosen = options_;
  work->path = logoPath;
  work->canvasSize = canvas_->size();
  work->logoBox = logoBox_->geometry();
  if (encodedAhead_ && encodedAhead_->first == work->inputs)
    work->encoded = std::move(encodedAhead_->second);
  encodedAhead_.reset();

  if (!encoder_)
    encoder_ = std::make_unique<QrEncoder>();
  setBusy(true);
  generation_ = QtConcurrent::run([this, work, encoder = encoder_.get()] {
    work->Compute(*encoder, cancelSearch_);
    // Delivered on the interface thread; dropped if the window is gone by
    // then (its destructor waits for this work to end).
    QMetaObject::invokeMethod(
        this,
        [this, work] {
          setBusy(false);
          lastSearch_ = work->made.search;
          // A window that is closing shows nothing more.
          if (!unloading_)
            showGeneration(*work);
          emit generationFinished();
        },
        Qt::QueuedConnection);
  });
}

void MainWindow::setBusy(bool busy) {
  if (busy == generating_)
    return;
  generating_ = busy;
  showBusy(busy);
}

void MainWindow::showBusy(bool busy) {
  if (busy)
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QGuiApplication::restoreOverrideCursor();
  generateButton_->setEnabled(!busy);
  saveButton_->setEnabled(!busy);
  updateCanvasMark();
}

void MainWindow::updateCanvasMark() {
  // Over the canvas, under no mouse: the picture menu, drags and drops work
  // through it.
  const QString text = generating_ ? QStringLiteral("正在生成二维码…")
                       : saving_   ? QStringLiteral("正在保存二维码…")
                       : stale()   ? QStringLiteral("内容已修改，请重新生成")
                                   : QString();
  canvasMark_->setText(text);
  canvasMark_->adjustSize();
  const QRect canvas = canvas_->rect();
  canvasMark_->move(canvas.center() - canvasMark_->rect().center());
  canvasVeil_->setVisible(!text.isEmpty());
  canvasMark_->setVisible(!text.isEmpty());
}

void MainWindow::showGeneration(const Generation &done) {
  showChangeNote(QString());
  const MadeCode &code = done.made.first;
  if (!code.Made()) {
    // The last code that was made stays, marked as no longer matching the
    // text (saving it asks first, as for any such code); with none, the
    // canvas keeps its sample.
    updateCanvasMark();
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("提示"),
                             TooLongText(done.help));
    return;
  }
  // The canvas shows what these inputs made.
  shownInputs_ = done.inputs;

  // The code as it was made and checked is what the window keeps; every
  // control below only shows one of its pictures.
  shown_ = code;
  const bool withLogo = !done.path.isEmpty();
  shownSource_ = CodeSource{
      done.inputs.text, {}, withLogo ? done.logo.inBox : QImage(), done.canvasSize, done.logoBox};
  shownLogo_ = withLogo ? done.logo.file.image : QImage();
  shownLogoPath_ = done.path;
  shownLogoSize_ = done.logo.file.size;
  symbolHolder_->setPicture(code.symbol);
  canvas_->drawPicture(code.canvas, 0, 0);
  if (done.path.isEmpty())
    showWithoutLogo();
  else
    showLogo(done.path, done.logo);
  updateCanvasMark();

  switch (done.made.verdict) {
  case ReadableCode::Verdict::TooLong:
  case ReadableCode::Verdict::Passes:
    return;
  case ReadableCode::Verdict::NotChecked:
    // One plain word on why, and nothing offered: the code may well scan.
    {
      const VerdictWords words = NotCheckedWords(*code.report);
      services.dialogs.Warn(
          {MessageIcon::Exclamation, QStringLiteral("提示"), words.text, words.details, {}, {}});
    }
    return;
  case ReadableCode::Verdict::Unreadable: {
    // The code stays saveable either way; the user chooses.
    const VerdictWords words = NoRemedyWords(code, done.made.search, !done.logo.inBox.isNull());
    services.dialogs.Warn(
        {MessageIcon::Exclamation, QStringLiteral("提示"), words.text, words.details, {}, {}});
  }
    return;
  case ReadableCode::Verdict::Remedied:
    break;
  }
  const MadeCode &found = *done.made.search.found;
  // With "总是使用容易扫描的设置" the code that scans is taken unasked.
  if (!alwaysReadable_) {
    const VerdictWords words = RemedyOfferWords(code, found);
    if (services.dialogs.Warn({MessageIcon::Exclamation, QStringLiteral("提示"), words.text,
                               words.details, QString::fromUtf8(kTakeOfferButton),
                               QString::fromUtf8(kKeepCodeButton)}) != MessageAnswer::Yes)
      return;
  }
  // The options say how the code on the canvas was made; the mask the user
  // chose stays.
  CodeOptions taken = options_;
  taken.version = found.options.version;
  taken.ecLevel = found.options.ecLevel;
  taken.encoding = found.options.encoding;
  taken.eci = found.options.eci;
  setOptions(taken);
  // The logo's own word, if any, was said with the first code.
  Generation offered = done.ShowingCandidate(found);
  offered.inputs = currentInputs();
  quietLogo_ = true;
  showGeneration(offered);
  quietLogo_ = false;
  showChangeNote(ChangeNote(code, found));
}

QString MainWindow::askForLogo() {
  // The two historic entries first; the last lists every format the logo
  // loader reads, and the dialog opens on it, so that no logo it could
  // take (a PNG, say) stays hidden.
  fileDialog_.FilterIndex = 3;
  fileDialog_.DialogTitle = QStringLiteral("请选择您的Logo图片");
  fileDialog_.Filter = QString::fromUtf8(kLogoFilter);
  // Where the last logo came from, that logo's name filled in: Enter takes
  // it again. Before any logo, the dialog stays as the save command left it.
  if (!lastLogoPath_.isEmpty()) {
    fileDialog_.InitDir = QFileInfo(lastLogoPath_).absolutePath();
    fileDialog_.FileName = lastLogoPath_;
  }
  // Cancelling always yields an empty string, whatever the save command left.
  const QString chosen = fileDialog_.ShowOpen(services.dialogs).value_or(QString());
  if (!IsBlank(chosen))
    lastLogoPath_ = chosen;
  return chosen;
}

void MainWindow::showLogo(const QString &path, const LoadedLogo &logo) {
  if (IsBlank(path) || !shown_)
    return;
  fitCompositeBoxes();

  logoHolder_->setStretch(true);
  // A logo that cannot be read leaves the code without one; no earlier logo
  // may take its place.
  logoHolder_->setPicture(logo.file.image);
  if (logo.file.image.isNull() && !quietLogo_)
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("提示"),
                             LogoProblemText(logo.file) +
                                 QStringLiteral("\r\n\r\n二维码已生成，但没有加上Logo。"));

  const QSize box = logoBox_->size();
  const QRegion region = LogoRegion(box);
  logoBox_->setClipRegion(region);
  logoBox_->setShape(region);
  // The logo as the box shows it was made with the picture; a photo of
  // many megapixels is not shrunk again here.
  logoBox_->drawPicture(logo.inBox, 0, 0);

  // What the box now shows, captured once when the code was composed (from
  // the canvas beneath and the logo, not from the screen), becomes its
  // backing image.
  logoBox_->setImage(shown_->logoBox);

  showComposite();
}

void MainWindow::showWithoutLogo() {
  if (!shown_)
    return;
  fitCompositeBoxes();
  logoHolder_->setPicture(QImage());
  const QRegion region = LogoRegion(logoBox_->size());
  logoBox_->setClipRegion(region);
  logoBox_->setShape(region);
  // The box shows the canvas beneath it, as the composite does.
  logoBox_->setImage(shown_->logoBox);
  showComposite();
}

void MainWindow::showComposite() {
  if (!shown_)
    return;
  logoBox_->clear();
  compositeBox_->clear();
  // The composite was made once, with the code; the boxes show it.
  compositeBox_->drawPicture(shown_->composite, 0, 0);
  saveBox_->setBackgroundPicture(shown_->composite);
}

void MainWindow::fitCompositeBoxes() {
  logoHolder_->repaintNow();
  compositeBox_->setOuterSize(canvas_->width(), compositeBox_->height());
  compositeBox_->setOuterSize(compositeBox_->width(), canvas_->height());
}

void MainWindow::canvasReleased(Qt::MouseButton button) {
  if (button != Qt::RightButton)
    return;
  if (shown_)
    popupMenu(true);
  else
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("无效"),
                             QStringLiteral("当前尚未生成二维码信息哦！"));
}

} // namespace zub
