// Saving and copying the code on the canvas: the composite that was checked,
// in the format its name says, and nothing while a code is being made.

#include "MainWindow.h"

#include "CodeForPrint.h"
#include "ImageFile.h"
#include "WriteWords.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

namespace zub {

namespace {

// The save dialog's choices, in the order shown, with the suffix a name typed
// without one receives.
constexpr struct {
  const char *suffix;
  ImageFileFormat format;
} kSaveFilters[] = {
    {"jpg", ImageFileFormat::Jpeg}, {"png", ImageFileFormat::Png}, {"bmp", ImageFileFormat::Bmp}};

// The vector picture's choice, after the three above.
constexpr int kSvgFilterIndex = 4;

bool IsVectorName(const QString &path) {
  return QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0;
}

// The large save's choices: how many times larger.
constexpr int kLargeScales[] = {2, 4, 8, 16};

int SaveFilterIndex(ImageFileFormat format) {
  for (std::size_t i = 0; i < std::size(kSaveFilters); ++i)
    if (kSaveFilters[i].format == format)
      return static_cast<int>(i) + 1;
  return 1;
}

} // namespace

QString SaveStartFolder(const QString &programFolder, const QString &lastSaveFolder) {
  if (!lastSaveFolder.isEmpty() && QFileInfo(lastSaveFolder).isDir())
    return lastSaveFolder;
  // A portable copy or the build tree keeps its data beside the program and
  // is the user's own folder; an installed program's folder (~/.local/bin,
  // /usr/bin) is no place for pictures, even where it can be written.
  const QFileInfo program(programFolder);
  if (program.isDir() && program.isWritable() &&
      QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral("she.she"))))
    return programFolder;
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
    return pictures;
  return QDir::homePath();
}

std::optional<QString> MainWindow::askSavePath(const QString &filter) {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请等生成结束后再保存。")))
    return std::nullopt;
  if (refuseWithoutCode())
    return std::nullopt;
  if (stale() && services.dialogs.message(
                     MessageIcon::Question, MessageButtons::YesNo, QStringLiteral("提示"),
                     QStringLiteral("内容已修改，画面上仍是修改前的二维码。\r\n"
                                    "是否仍然保存修改前的二维码？")) != MessageAnswer::Yes)
    return std::nullopt;
  fileDialog_.DialogTitle =
      QStringLiteral("请选择二维码的保存路径 - By Zub软件工作室、Morvi软件工作室");
  fileDialog_.FileName = QStringLiteral("二维码");
  fileDialog_.InitDir = SaveStartFolder(QCoreApplication::applicationDirPath(), lastSaveFolder_);
  fileDialog_.Filter = filter;
  fileDialog_.FilterIndex = saveFilterIndex_;
  const std::optional<QString> chosen = fileDialog_.ShowSave(services.dialogs);
  if (!chosen)
    return std::nullopt;
  lastSaveFolder_ = QFileInfo(*chosen).absolutePath();
  return chosen;
}

namespace {

// What a saved file is, told after "位置：" in the save note.
QString SavedSize(QSize pixels, int dotsPerInch, bool vector) {
  return QStringLiteral("\r\n大小：") +
         QString::fromStdString(PrintedSizeWords(pixels.width(), pixels.height(), dotsPerInch,
                                                 vector, Language::Chinese));
}

} // namespace

// A save made off the interface thread: what it draws from, copied when it
// starts, and how it went.
struct MainWindow::SaveJob {
  QString path;
  bool vector = false; // SVG; else a picture `scale` times larger
  int scale = 1;
  MadeCode code;
  CodeSource source;
  QImage logo;
  QString logoPath;
  QSize logoSize;

  WriteResult written;
  bool unreadable = false; // a vector picture whose drawing does not scan
  QString size;            // what was written, for the note

  void Run() {
    if (vector) {
      const VectorCode made = MakeVectorCode(code, source, logo);
      // A code that scanned is saved as a vector picture only when a
      // renderer's drawing of it scans too.
      if (made.svg.isEmpty() || (code.Passes() && !made.report->Passes())) {
        unreadable = true;
        return;
      }
      written = WriteFileBytes(made.svg, path);
      size = SavedSize(source.canvasSize, CompositeDotsPerInch(1), true);
      return;
    }
    // A large photo was read with the pixels the window's box needs: read
    // again with those the larger box needs, unless the file changed.
    QImage picture = logo;
    if (!logoPath.isEmpty()) {
      const LogoLoad again = LoadLogo(logoPath, source.logoBox.size() * scale);
      if (!again.image.isNull() && again.size == logoSize)
        picture = again.image;
    }
    const QImage large = PrintComposite(code, source, picture, scale);
    written = WriteFileBytes(
        EncodeImageFile(large, ImageFileFormatForName(path), CompositeDotsPerInch(scale)), path);
    size = SavedSize(large.size(), CompositeDotsPerInch(scale), false);
  }
};

void MainWindow::save() {
  const std::optional<QString> chosen =
      askSavePath(QStringLiteral("JPEG图片(*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                 "PNG图片(*.png)|*.png|位图(*.bmp)|*.bmp|"
                                 "SVG矢量图(*.svg)|*.svg"));
  if (!chosen)
    return;
  // The file has the format its name says; the dialog gave a name typed
  // without a suffix the one of the chosen filter.
  const QString path = *chosen;
  if (IsVectorName(path)) {
    saveFilterIndex_ = kSvgFilterIndex;
    auto job = std::make_shared<SaveJob>();
    job->path = path;
    job->vector = true;
    startSave(job);
    return;
  }
  const ImageFileFormat format = ImageFileFormatForName(path);
  saveFilterIndex_ = SaveFilterIndex(format);

  // The composite that was checked, as the window shows it.
  if (const WriteResult written = WriteImageFile(shown_->composite, path, format); !written) {
    services.dialogs.message(
        MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("保存失败"),
        QStringLiteral("二维码保存失败！\r\n位置：") + path + QStringLiteral("\r\n原因：") +
            QString::fromStdString(WriteFailureWords(written, Language::Chinese)));
    return;
  }
  tellSavedAt(path, SavedSize(shown_->composite.size(), CompositeDotsPerInch(1), false));
}

void MainWindow::saveLarge() {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请等生成结束后再保存。")))
    return;
  if (refuseWithoutCode())
    return;
  ChoiceRequest request;
  request.title = QStringLiteral("保存高清二维码");
  request.label = QStringLiteral("放大多少倍？每个点都放大成同样大小的方块，Logo 按原图画出。");
  for (const int scale : kLargeScales) {
    const QSize pixels = shown_->composite.size() * scale;
    request.items << QStringLiteral("%1倍：").arg(scale) +
                         QString::fromStdString(PrintedSizeWords(pixels.width(), pixels.height(),
                                                                 CompositeDotsPerInch(scale), false,
                                                                 Language::Chinese));
  }
  request.current = largeScaleChoice_;
  const std::optional<int> choice =
      services.dialogs.choose ? services.dialogs.choose(request) : std::nullopt;
  if (!choice || *choice < 0 || *choice >= static_cast<int>(std::size(kLargeScales)))
    return;
  largeScaleChoice_ = *choice;
  const std::optional<QString> chosen =
      askSavePath(QStringLiteral("JPEG图片(*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                 "PNG图片(*.png)|*.png|位图(*.bmp)|*.bmp"));
  if (!chosen)
    return;
  const ImageFileFormat format = ImageFileFormatForName(*chosen);
  saveFilterIndex_ = SaveFilterIndex(format);
  auto job = std::make_shared<SaveJob>();
  job->path = *chosen;
  job->scale = kLargeScales[static_cast<std::size_t>(*choice)];
  startSave(job);
}

void MainWindow::startSave(const std::shared_ptr<SaveJob> &job) {
  job->code = *shown_;
  job->source = shownSource_;
  job->logo = shownLogo_;
  job->logoPath = shownLogoPath_;
  job->logoSize = shownLogoSize_;
  setSaving(true);
  saveWork_ = QtConcurrent::run([this, job] {
    job->Run();
    QMetaObject::invokeMethod(
        this,
        [this, job] {
          setSaving(false);
          if (!unloading_)
            tellSaved(*job);
          emit saveFinished();
        },
        Qt::QueuedConnection);
  });
}

void MainWindow::tellSaved(const SaveJob &job) {
  if (job.unreadable) {
    services.dialogs.message(MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("保存失败"),
                             QStringLiteral("二维码保存失败！\r\n位置：") + job.path +
                                 QStringLiteral("\r\n原因：矢量图画出来后扫不出，没有保存。"
                                                "请改存为 PNG 图片。"));
    return;
  }
  if (!job.written) {
    services.dialogs.message(
        MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("保存失败"),
        QStringLiteral("二维码保存失败！\r\n位置：") + job.path + QStringLiteral("\r\n原因：") +
            QString::fromStdString(WriteFailureWords(job.written, Language::Chinese)));
    return;
  }
  tellSavedAt(job.path, job.size);
}

void MainWindow::tellSavedAt(const QString &path, const QString &size) {
  if (services.dialogs.message(
          MessageIcon::Information, MessageButtons::YesNo, QStringLiteral("提示"),
          QStringLiteral("二维码保存成功！\r\n位置：") + path + size +
              QStringLiteral("\r\n\r\n是否定位到文件？")) == MessageAnswer::Yes)
    services.reveal(path);
}

bool MainWindow::refuseWithoutCode() {
  if (shown_)
    return false;
  services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("无效"),
                           QStringLiteral("当前尚未生成二维码信息哦！"));
  return true;
}

void MainWindow::setSaving(bool saving) {
  if (saving == saving_)
    return;
  saving_ = saving;
  showBusy(saving);
}

void MainWindow::copyPicture() {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请等生成结束后再复制。")))
    return;
  if (refuseWithoutCode())
    return;
  // The composite that was checked, as saving writes it.
  QGuiApplication::clipboard()->setImage(shown_->composite);
}

} // namespace zub
