// Saving and copying the code on the canvas: the composite that was checked,
// in the format its name says, and nothing while a code is being made.

#include "MainWindow.h"

#include "ImageFile.h"
#include "WriteWords.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

namespace zub {

namespace {

// The save dialog's choices, in the order shown, with the suffix a name typed
// without one receives.
constexpr struct {
  const char *suffix;
  ImageFileFormat format;
} kSaveFilters[] = {
    {"jpg", ImageFileFormat::Jpeg}, {"png", ImageFileFormat::Png}, {"bmp", ImageFileFormat::Bmp}};

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

void MainWindow::save() {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请等生成结束后再保存。")))
    return;
  if (!shown_) {
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("无效"),
                             QStringLiteral("当前尚未生成二维码信息哦！"));
    return;
  }
  if (stale() && services.dialogs.message(
                     MessageIcon::Question, MessageButtons::YesNo, QStringLiteral("提示"),
                     QStringLiteral("内容已修改，画面上仍是修改前的二维码。\r\n"
                                    "是否仍然保存修改前的二维码？")) != MessageAnswer::Yes)
    return;
  fileDialog_.DialogTitle =
      QStringLiteral("请选择二维码的保存路径 - By Zub软件工作室、Morvi软件工作室");
  fileDialog_.FileName = QStringLiteral("二维码");
  fileDialog_.InitDir = SaveStartFolder(QCoreApplication::applicationDirPath(), lastSaveFolder_);
  fileDialog_.Filter = QStringLiteral("JPEG图片(*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                      "PNG图片(*.png)|*.png|位图(*.bmp)|*.bmp");
  fileDialog_.FilterIndex = saveFilterIndex_;
  const std::optional<QString> chosen = fileDialog_.ShowSave(services.dialogs);
  if (!chosen)
    return;
  // The file has the format its name says; the dialog gave a name typed
  // without a suffix the one of the chosen filter.
  const QString path = *chosen;
  const ImageFileFormat format = ImageFileFormatForName(path);
  saveFilterIndex_ = SaveFilterIndex(format);
  lastSaveFolder_ = QFileInfo(path).absolutePath();

  // The composite that was checked, as the window shows it.
  if (const WriteResult written = WriteImageFile(shown_->composite, path, format); !written) {
    services.dialogs.message(
        MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("保存失败"),
        QStringLiteral("二维码保存失败！\r\n位置：") + path + QStringLiteral("\r\n原因：") +
            QString::fromStdString(WriteFailureWords(written, Language::Chinese)));
    return;
  }
  if (services.dialogs.message(
          MessageIcon::Information, MessageButtons::YesNo, QStringLiteral("提示"),
          QStringLiteral("二维码保存成功！\r\n位置：") + path +
              QStringLiteral("\r\n\r\n是否定位到文件？")) == MessageAnswer::Yes)
    services.reveal(path);
}

void MainWindow::copyPicture() {
  if (refuseWhileBusy(QStringLiteral("正在生成二维码，请等生成结束后再复制。")))
    return;
  if (!shown_) {
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("无效"),
                             QStringLiteral("当前尚未生成二维码信息哦！"));
    return;
  }
  // The composite that was checked, as saving writes it.
  QGuiApplication::clipboard()->setImage(shown_->composite);
}

} // namespace zub
