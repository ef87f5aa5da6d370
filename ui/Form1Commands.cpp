// The picture commands of the main window: generate, save, the logo dialog,
// the logo overlay, the composite and the picture context menu.

#include "Form1.h"
#include "Form2.h"

#include <QAction>

namespace zub {

void Form1::Command1_Click() {
  // filled in with the picture composition
}

void Form1::Command2_Click() {
  // filled in with the picture composition
}

QString Form1::打开文件() {
  CommonDialog1.FilterIndex = 1;
  CommonDialog1.DialogTitle = QStringLiteral("请选择您的Logo图片");
  CommonDialog1.Filter = QStringLiteral("图片文件(*.JPG)|*.JPG;*.bmp|图片文件(*.bmp)|*.JPG;*.bmp");
  // Cancelling always yields an empty string, whatever the save command left.
  return CommonDialog1.ShowOpen(services.dialogs).value_or(QString());
}

void Form1::LogoSelect(const QString &path) {
  // filled in with the picture composition
  (void)path;
}

void Form1::圆角PIC() {
  // filled in with the picture composition
}

void Form1::初始化picture控件() {
  // filled in with the picture composition
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
