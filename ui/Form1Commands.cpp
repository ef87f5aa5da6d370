// The picture commands of the main window: generate, save, the logo dialog,
// the logo overlay, the composite and the picture context menu. Every pixel
// comes from the composition library, the same code zubqr runs.

#include "Form1.h"
#include "Form2.h"

#include "BitmapFile.h"
#include "Composite.h"
#include "LogoImage.h"
#include "MessageBytes.h"
#include "ScanCheck.h"
#include "Stretch.h"
#include "logomd.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>

namespace zub {

namespace {

// A path of spaces only is no path; any other character may be part of a name.
bool IsBlank(const QString &path) {
  for (QChar c : path)
    if (c != QLatin1Char(' '))
      return false;
  return true;
}

} // namespace

void Form1::Command1_Click() {
  const QString path = 打开文件();
  if (IsBlank(path)) {
    LogoPic->clear();
    backPicture1->clear();
    return;
  }
  for (const QComboBox *list : cmb1)
    if (list->currentIndex() == -1)
      return;

  const TextEncoding encoding =
      cmb1[3]->currentIndex() == 1 ? TextEncoding::Utf8 : TextEncoding::Ansi;
  const std::vector<std::uint8_t> message = MessageBytes(Text1->toPlainText(), encoding);
  const int p0 = cmb1[0]->currentIndex(), p1 = cmb1[1]->currentIndex(),
            p2 = cmb1[2]->currentIndex();

  if (!encoder_)
    encoder_ = std::make_unique<clsQRCode>();
  // Readers show kanji segments as Shift JIS, which neither UTF-8 nor GBK is.
  const Picture picture = encoder_->MakeSymbol(message.data(), static_cast<int>(message.size()), p0,
                                               p1 + 1, p2 - 1, KanjiMode::Excluded);
  if (picture.isNull()) {
    // Nothing older may stay behind to be saved as if it were this text.
    Image1->setPicture(QImage());
    LogoPic->clear();
    backPicture1->clear();
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("提示"),
                             QStringLiteral("内容过长，无法生成二维码。\r\n"
                                            "请缩短文字内容，或选择更大的版本、更低的纠错等级。"));
    return;
  }

  Image1->setPicture(SymbolView(picture).copy());
  backPicture1->drawPicture(StretchPicture(Image1->picture(), backPicture1->size()), 0, 0);
  LogoSelect(path);

  if (!ReadsBack(Image1->picture(), message))
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("提示"),
                             ScanWarningText());
}

void Form1::Command2_Click() {
  if (!Image1->hasPicture()) {
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("无效"),
                             QStringLiteral("当前尚未生成二维码信息哦!"));
    return;
  }
  CommonDialog1.DialogTitle =
      QStringLiteral("请选择二维码的保存路径 - By Zub软件工作室、Morvi软件工作室");
  CommonDialog1.FileName = QStringLiteral("二维码");
  CommonDialog1.InitDir = QCoreApplication::applicationDirPath();
  CommonDialog1.Filter = QStringLiteral("图片文件(*.jpg)|*.jpg|图片文件(*.bmp|*.bmp");
  const std::optional<QString> chosen = CommonDialog1.ShowSave(services.dialogs);
  if (!chosen)
    return;
  const QString path = *chosen;

  Picture1->setOuterSize(sAVEPicture3->width(), Picture1->height());
  Picture1->setOuterSize(Picture1->width(), sAVEPicture3->height());
  Picture1->drawPicture(sAVEPicture3->image(), 0, 0, sAVEPicture3->width(), sAVEPicture3->height());
  QString reason;
  if (!WriteBitmapFile(Picture1->image(), path, reason)) {
    services.dialogs.message(MessageIcon::Critical, MessageButtons::Ok, QStringLiteral("保存失败"),
                             QStringLiteral("二维码保存失败!\r\n位置:") + path +
                                 QStringLiteral("\r\n原因:") + reason);
    return;
  }
  if (services.dialogs.message(MessageIcon::Information, MessageButtons::YesNo,
                               QStringLiteral("提示"),
                               QStringLiteral("二维码保存成功!\r\n位置:") + path +
                                   QStringLiteral("\r\n\r\n是否定位到文件?")) == MessageAnswer::Yes)
    services.reveal(path);
}

QString Form1::打开文件() {
  CommonDialog1.FilterIndex = 1;
  CommonDialog1.DialogTitle = QStringLiteral("请选择您的Logo图片");
  CommonDialog1.Filter = QStringLiteral("图片文件(*.JPG)|*.JPG;*.bmp|图片文件(*.bmp)|*.JPG;*.bmp");
  // Cancelling always yields an empty string, whatever the save command left.
  return CommonDialog1.ShowOpen(services.dialogs).value_or(QString());
}

void Form1::LogoSelect(const QString &path) {
  if (IsBlank(path))
    return;
  初始化picture控件();

  ImageRND1->setStretch(true);
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const LogoLoad logo = LoadLogo(path);
  QGuiApplication::restoreOverrideCursor();
  // A logo that cannot be read leaves the code without one; no earlier logo
  // may take its place.
  ImageRND1->setPicture(logo.image);
  if (logo.image.isNull())
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("提示"),
                             logo.error + QStringLiteral("\r\n\r\n二维码已生成，但没有加上Logo。"));

  const QSize box = LogoPic->size();
  const QRegion region = LogoRegion(box);
  LogoPic->setClipRegion(region);
  LogoPic->setShape(region);
  LogoPic->drawPicture(LogoInBox(ImageRND1->picture(), box), 0, 0);

  // What the box now shows, built from the canvas beneath and the logo
  // instead of read from the screen, becomes its backing image.
  BitmapInfo header;
  const std::vector<std::uint8_t> bits = CaptureWindowBits(
      LogoWindow{backPicture1->image(), LogoPic->geometry(), ImageRND1->picture()}, header, 32, 0);
  LogoPic->setImage(ImageFromBitmapBits(header, bits, 0));

  圆角PIC();
}

void Form1::圆角PIC() {
  LogoPic->clear();
  sAVEPicture3->clear();
  sAVEPicture3->drawPicture(ComposeComposite(backPicture1->image(), LogoPic->image(),
                                             LogoPic->geometry(), sAVEPicture3->size()),
                            0, 0);
  Image1->setPicture(sAVEPicture3->image());
  Picture1->setBackgroundPicture(sAVEPicture3->image());
}

void Form1::初始化picture控件() {
  ImageRND1->repaintNow();
  sAVEPicture3->setOuterSize(backPicture1->width(), sAVEPicture3->height());
  sAVEPicture3->setOuterSize(sAVEPicture3->width(), backPicture1->height());
}

void Form1::backPicture1_MouseUp(Qt::MouseButton button) {
  if (button != Qt::RightButton)
    return;
  if (Image1->hasPicture())
    PopupMenus(true);
  else
    services.dialogs.message(MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("无效"),
                             QStringLiteral("当前尚未生成二维码信息哦!"));
}

void Form1::LogoPic_MouseUp(Qt::MouseButton button) {
  backPicture1_MouseUp(button);
}

} // namespace zub
