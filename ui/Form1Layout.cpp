// The controls of the main window: kind, container, place and size, caption,
// tooltip, picture and tab order. Places are kept in twips as the layout was
// designed; pixels are twips / 15, halves to even.

#include "Addresses.h"
#include "DataFiles.h"
#include "Form1.h"
#include "Form2.h"
#include "OwnPictures.h"
#include "WindowHelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace zub {

QString OptionShownText(const QString &item) {
  // The lists keep their historic English item; our own menus and tooltips
  // speak Chinese.
  return item == QLatin1String("Automatic") ? QStringLiteral("自动") : item;
}
namespace {

struct Twips {
  int left, top, width, height;
};

QRect Pixels(const Twips &t) {
  return {TwipsToPixels(t.left), TwipsToPixels(t.top), TwipsToPixels(t.width),
          TwipsToPixels(t.height)};
}

template <typename W> W *Place(W *widget, const char *name, const Twips &where) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(Pixels(where));
  return widget;
}

QImage Asset(const char *name) {
  return OwnPicture(QLatin1String(name)).convertToFormat(QImage::Format_RGB32);
}

} // namespace

QString DefaultSkinPath() {
  return FindDataFile(QCoreApplication::applicationDirPath(), QStringLiteral("she.she"));
}

double ContrastRatio(const QColor &a, const QColor &b) {
  auto channel = [](float c) {
    return c <= 0.04045f ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  auto luminance = [&](const QColor &c) {
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette ReadablePalette(QPalette palette) {
  // A little above the bound, for the edges that antialiasing softens.
  constexpr double kEnough = 4.6;
  // Moves `role` of `group` toward black or white, whichever side of the
  // other colour it is on, in small steps of lightness.
  auto separate = [&](QPalette::ColorGroup group, QPalette::ColorRole role,
                      QPalette::ColorRole against) {
    QColor moving = palette.color(group, role);
    const QColor fixed = palette.color(group, against);
    if (ContrastRatio(moving, fixed) >= kEnough)
      return;
    const bool darker = moving.lightnessF() < fixed.lightnessF() ||
                        (moving.lightnessF() == fixed.lightnessF() && fixed.lightnessF() >= 0.5f);
    for (int step = 0; step < 100 && ContrastRatio(moving, fixed) < kEnough; ++step) {
      const float l = moving.lightnessF() + (darker ? -0.01f : 0.01f);
      moving.setHslF(moving.hslHueF(), moving.hslSaturationF(), std::clamp(l, 0.0f, 1.0f));
    }
    palette.setColor(group, role, moving);
  };
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    separate(group, QPalette::Highlight, QPalette::HighlightedText);
    for (const auto &[text, background] : {std::pair{QPalette::WindowText, QPalette::Window},
                                           {QPalette::Text, QPalette::Base},
                                           {QPalette::Text, QPalette::AlternateBase},
                                           {QPalette::ButtonText, QPalette::Button},
                                           {QPalette::ToolTipText, QPalette::ToolTipBase},
                                           {QPalette::PlaceholderText, QPalette::Base},
                                           {QPalette::Link, QPalette::Base},
                                           {QPalette::LinkVisited, QPalette::Base}})
      separate(group, text, background);
  }
  return palette;
}

void MakeThemeReadable() {
  const QPalette theme = QApplication::palette();
  const QPalette readable = ReadablePalette(theme);
  if (readable != theme)
    QApplication::setPalette(readable);
}

QPalette WindowPalette() {
  // A dark desktop theme would put light text and dark fields into a window
  // whose body, bands and canvas are light pictures. Text on its field keeps
  // at least 4.5 : 1 in every group, disabled text included.
  const QColor body(0xF0, 0xF0, 0xF0), field(Qt::white), ink(Qt::black), grey(0x66, 0x66, 0x66);
  QPalette p(ink, body, field, QColor(0xA0, 0xA0, 0xA0), QColor(0xA0, 0xA0, 0xA0), ink, field);
  p.setColor(QPalette::Midlight, QColor(0xE3, 0xE3, 0xE3));
  p.setColor(QPalette::Shadow, QColor(0x69, 0x69, 0x69));
  p.setColor(QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7));
  p.setColor(QPalette::Highlight, QColor(0x1B, 0x6A, 0xB9));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
  p.setColor(QPalette::ToolTipText, ink);
  p.setColor(QPalette::PlaceholderText, grey);
  p.setColor(QPalette::Link, QColor(0x0B, 0x5C, 0xAD));
  p.setColor(QPalette::LinkVisited, QColor(0x6A, 0x2C, 0x91));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, grey);
  p.setColor(QPalette::Disabled, QPalette::Base, body);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xA0, 0xA0, 0xA0));
  p.setColor(QPalette::Disabled, QPalette::HighlightedText, ink);
  return p;
}

QIcon ApplicationIcon() {
  // The window system takes every size when the window is shown, so reading
  // them all here decodes nothing that would not be. Up to 128 px: every
  // size goes to the X server with the window, and shells draw larger icons
  // from the installed theme icon the desktop entry names.
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128})
    icon.addPixmap(QPixmap::fromImage(OwnPicture(QStringLiteral("icon-%1.png").arg(size))));
  return icon;
}

TextBox::TextBox(QWidget *parent) : QPlainTextEdit(parent) {}

void TextBox::focusInEvent(QFocusEvent *event) {
  QPlainTextEdit::focusInEvent(event);
  focusByMouse_ = event->reason() == Qt::MouseFocusReason;
  emit gotFocus();
}

// The click that brings the focus would place the cursor (on press, or on
// release when it lands in the selection); the whole text is selected all
// the same.
void TextBox::mousePressEvent(QMouseEvent *event) {
  QPlainTextEdit::mousePressEvent(event);
  if (focusByMouse_)
    emit gotFocus();
}

void TextBox::mouseReleaseEvent(QMouseEvent *event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  if (focusByMouse_) {
    focusByMouse_ = false;
    emit gotFocus();
  }
}

// Form_Initialize: the controls, the window's style bits and the timer.
Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint) {
  services.dialogs = Dialogs::Qt(this);
  services.isForeground = [](const QWidget *w) { return w->isActiveWindow(); };
  services.cursorPos = [] { return QCursor::pos(); };
  services.popup = [](QMenu *menu, const QPoint &at) { menu->exec(at); };
  services.quit = [] { QCoreApplication::exit(0); };
  services.reveal = [](const QString &path) { 进程处理::RevealInExplorer(path); };
  skinPath = DefaultSkinPath();
  pageAddress = QUrl(QString::fromLatin1(kMorviAddress));

  TimerId = new QTimer(this);
  BuildControls();
  ConnectHandlers();

  // 10 ms, the system's minimum timer period; each tick is two cheap
  // queries. It starts when a face leaves idle.
  TimerId->setInterval(10);
  connect(TimerId, &QTimer::timeout, this, &Form1::MouseLeaveTimerProc);
}

void Form1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  // Before any control exists, so that each takes it from the start.
  setPalette(WindowPalette());
  setWindowTitle(QStringLiteral("Zub二维码生成器"));
  // The program's icon where it has one: the same icon, decoded once.
  setWindowIcon(QGuiApplication::windowIcon().isNull() ? ApplicationIcon()
                                                       : QGuiApplication::windowIcon());
  // Client area 8310 x 9015 twips at 4770, 2205.
  setGeometry(Pixels({4770, 2205, 8310, 9015}));
  setFixedSize(size());
  background_ = Asset("background.png");
  setMouseTracking(true);

  Command2 = Place(new QPushButton(QStringLiteral("保存二维码"), this), "Command2",
                   {6600, 1470, 1620, 375});
  Command1 = Place(new QPushButton(QStringLiteral("生成二维码"), this), "Command1",
                   {6600, 1080, 1620, 375});
  Text2 = Place(new QLineEdit(this), "Text2", {9840, 1680, 2895, 375});

  backPicture1 = Place(new PictureBox(PictureBox::DrawMode::Persistent, this), "backPicture1",
                       {15, 1900, 8280, 6135});
  backPicture1->setBackgroundPicture(Asset("sample-canvas.png"));
  backPicture1->setMouseTracking(true);
  LogoPic = Place(new PictureBox(PictureBox::DrawMode::Screen, backPicture1), "LogoPic",
                  {3480, 2280, 1335, 1335});
  LogoPic->setBackgroundColor(palette().color(QPalette::Base)); // the system window colour
  // Drawn with its transparency over the box's colour.
  LogoPic->setBackgroundPicture(OwnPicture(QStringLiteral("default-logo-64.png")));
  LogoPic->setMouseTracking(true);

  backPicture1->setAcceptDrops(true); // a logo file dropped here
  backPicture1->installEventFilter(this);
  backPicture1->setAccessibleName(QStringLiteral("二维码"));
  canvasMark = new QLabel(backPicture1);
  canvasMark->setObjectName(QStringLiteral("canvasMark"));
  canvasMark->setGeometry(backPicture1->rect());
  canvasMark->setAlignment(Qt::AlignCenter);
  canvasMark->setAttribute(Qt::WA_TransparentForMouseEvents);
  // A quiet veil: the old code stays visible beneath it.
  canvasMark->setStyleSheet(
      QStringLiteral("QLabel#canvasMark { background: rgba(255, 255, 255, 170);"
                     " color: #202020; font-size: 16px; }"));
  canvasMark->hide();
  // A strip along the canvas's foot, over the quiet zone, for a few seconds;
  // the tooltip keeps saying it.
  changeNote = new QLabel(backPicture1);
  changeNote->setObjectName(QStringLiteral("changeNote"));
  changeNote->setGeometry(0, backPicture1->height() - 26, backPicture1->width(), 26);
  changeNote->setAlignment(Qt::AlignCenter);
  changeNote->setAttribute(Qt::WA_TransparentForMouseEvents);
  changeNote->setStyleSheet(
      QStringLiteral("QLabel#changeNote { background: rgba(255, 248, 200, 235);"
                     " color: #202020; font-size: 13px; }"));
  changeNote->hide();
  changeNoteTimer_ = new QTimer(this);
  changeNoteTimer_->setSingleShot(true);
  changeNoteTimer_->setInterval(10000);
  connect(changeNoteTimer_, &QTimer::timeout, changeNote, &QWidget::hide);

  sAVEPicture3 = Place(new PictureBox(PictureBox::DrawMode::Persistent, this), "sAVEPicture3",
                       {13080, 3000, 1575, 975});
  sAVEPicture3->setBackgroundColor(palette().color(QPalette::Base));
  WebBrowser1 = Place(new HiddenBrowser(this), "WebBrowser1", {9360, 2160, 375, 375});
  Picture1 = Place(new PictureBox(PictureBox::DrawMode::Persistent, this), "Picture1",
                   {11640, 5760, 8415, 6255});

  Text1 = Place(new TextBox(this), "Text1", {15, 1080, 6480, 800});
  Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setTabChangesFocus(true);
  Text1->setPlainText(QString::fromLatin1(kStudioAddress));
  Text1->setAccessibleName(QStringLiteral("二维码内容"));
  Command1->setAccessibleName(QStringLiteral("生成二维码"));
  Command2->setAccessibleName(QStringLiteral("保存二维码"));

  Frame5 = Place(new QGroupBox(QStringLiteral("编码方式"), this), "Frame5", {9360, 600, 3375, 975});
  const struct {
    int index;
    Twips where;
    const char *tooltip;
  } lists[] = {{3, {1680, 600, 1455, 300}, "Text encoding"},
               {2, {120, 600, 1455, 300}, "Mask type"},
               {1, {1680, 240, 1455, 300}, "Error correction level"},
               {0, {120, 240, 1455, 300}, "Version"}};
  for (const auto &l : lists) {
    auto *list = new QComboBox(Frame5); // not editable: only its own items
    Place(list, "cmb1", l.where);
    list->setObjectName(QStringLiteral("cmb1(%1)").arg(l.index));
    list->setToolTip(QString::fromLatin1(l.tooltip));
    cmb1[static_cast<std::size_t>(l.index)] = list;
  }

  Frame1 = Place(new QGroupBox(QStringLiteral("插件"), this), "Frame1", {10680, 2640, 2175, 2175});
  lstdirs = Place(new QListWidget(Frame1), "lstdirs", {2520, 600, 1335, 420});
  Frame2 =
      Place(new QGroupBox(QStringLiteral("状态按钮"), Frame1), "Frame2", {240, 240, 1695, 1815});
  auto holder = [this](const char *name, int left, int top, const char *asset) {
    auto *image = Place(new ImageControl(Frame2), name, {left, top, 465, 465});
    image->setPicture(Asset(asset));
    return image;
  };
  关闭3 = holder("关闭3", 1080, 1200, "close3.png");
  关闭2 = holder("关闭2", 600, 1200, "close2.png");
  关闭1 = holder("关闭1", 120, 1200, "close1.png");
  菜单3 = holder("菜单3", 1080, 720, "menu3.png");
  菜单2 = holder("菜单2", 600, 720, "menu2.png");
  菜单1 = holder("菜单1", 120, 720, "menu1.png");
  最小3 = holder("最小3", 1080, 240, "min3.png");
  最小2 = holder("最小2", 600, 240, "min2.png");
  最小1 = holder("最小1", 120, 240, "min1.png");

  ImageRND1 = Place(new ImageControl(this), "ImageRND1", {13080, 240, 1575, 1575});
  Image1 = Place(new ImageControl(this), "Image1", {11760, 2280, 8355, 6315});
  Image1->setStretch(true);

  auto button = [this](const char *name, int left, const char *tooltip, const char *asset) {
    auto *image = Place(new ImageControl(this), name, {left, 0, 465, 465});
    image->setToolTip(QString::fromUtf8(tooltip));
    image->setPicture(Asset(asset));
    image->setAccessibleName(QString::fromUtf8(tooltip));
    image->setMouseTracking(true);
    return image;
  };
  最小0 = button("最小0", 7330, "最小化", "min0.png");
  菜单0 = button("菜单0", 6855, "菜单", "menu0.png");
  关闭0 = button("关闭0", 7840, "关闭", "close0.png");

  // Tab order: lstdirs, Command2, the option lists, Command1, Text1,
  // Picture1, WebBrowser1, sAVEPicture3, backPicture1, LogoPic, Text2. The
  // frames and the image controls take no focus.
  QWidget *const chain[] = {lstdirs,      Command2,     cmb1[0], cmb1[1],  cmb1[2],
                            cmb1[3],      Command1,     Text1,   Picture1, WebBrowser1,
                            sAVEPicture3, backPicture1, LogoPic, Text2};
  for (QWidget *w : {static_cast<QWidget *>(Picture1), static_cast<QWidget *>(WebBrowser1),
                     static_cast<QWidget *>(sAVEPicture3), static_cast<QWidget *>(backPicture1),
                     static_cast<QWidget *>(LogoPic)})
    w->setFocusPolicy(Qt::StrongFocus);
  for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
    setTabOrder(chain[i], chain[i + 1]);
}

void Form1::ConnectHandlers() {
  connect(Text1, &TextBox::gotFocus, this, &Form1::Text1_GotFocus);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

  connect(backPicture1, &PictureBox::mouseMoved, this,
          [this](QMouseEvent *e) { backPicture1_MouseMove(*e); });
  connect(LogoPic, &PictureBox::mouseMoved, this,
          [this](QMouseEvent *e) { LogoPic_MouseMove(*e); });
  connect(Picture1, &PictureBox::mouseMoved, this,
          [this](QMouseEvent *e) { Picture1_MouseMove(*e); });
  connect(Image1, &ImageControl::mouseMoved, this,
          [this](QMouseEvent *e) { Image1_MouseMove(*e); });
  connect(backPicture1, &PictureBox::mouseReleased, this,
          [this](QMouseEvent *e) { backPicture1_MouseUp(e->button()); });
  connect(LogoPic, &PictureBox::mouseReleased, this,
          [this](QMouseEvent *e) { LogoPic_MouseUp(e->button()); });

  // Keys: Ctrl+Enter in the text box generates, Ctrl+S saves, Ctrl+C over
  // the canvas copies the code.
  for (const QKeySequence &keys :
       {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
    connect(new QShortcut(keys, Text1, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
            this, &Form1::Command1_Click);
  connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
          &Form1::Command2_Click);
  connect(new QShortcut(QKeySequence::Copy, backPicture1, nullptr, nullptr,
                        Qt::WidgetWithChildrenShortcut),
          &QShortcut::activated, this, &Form1::CopyPicture);

  // The canvas says when its code no longer matches the text and options,
  // and its tooltip names the options.
  connect(Text1, &QPlainTextEdit::textChanged, this, &Form1::UpdateCanvasMark);
  for (QComboBox *list : cmb1) {
    connect(list, &QComboBox::currentIndexChanged, this, &Form1::UpdateCanvasMark);
    connect(list, &QComboBox::currentIndexChanged, this, &Form1::UpdateOptionsTooltip);
  }

  connect(最小0, &ImageControl::mousePressed, this, &Form1::最小0_MouseDown);
  connect(最小0, &ImageControl::mouseMoved, this, &Form1::最小0_MouseMove);
  connect(最小0, &ImageControl::mouseReleased, this, &Form1::最小0_MouseUp);
  connect(菜单0, &ImageControl::mousePressed, this, &Form1::菜单0_MouseDown);
  connect(菜单0, &ImageControl::mouseMoved, this, &Form1::菜单0_MouseMove);
  connect(菜单0, &ImageControl::mouseReleased, this, &Form1::菜单0_MouseUp);
  connect(关闭0, &ImageControl::mousePressed, this, &Form1::关闭0_MouseDown);
  connect(关闭0, &ImageControl::mouseMoved, this, &Form1::关闭0_MouseMove);
  connect(关闭0, &ImageControl::mouseReleased, this, &Form1::关闭0_MouseUp);
}

void Form1::ShowChangeNote(const QString &note) {
  changeNote_ = note;
  changeNote->setText(note);
  changeNote->setVisible(!note.isEmpty());
  if (note.isEmpty())
    changeNoteTimer_->stop();
  else
    changeNoteTimer_->start();
  UpdateOptionsTooltip();
}

void Form1::UpdateOptionsTooltip() {
  const char *const names[] = {"版本", "纠错等级", "掩码", "文字编码"};
  QStringList lines;
  for (std::size_t i = 0; i < cmb1.size(); ++i)
    lines << QString::fromUtf8(names[i]) + QStringLiteral("：") +
                 OptionShownText(cmb1[i]->currentText());
  if (!changeNote_.isEmpty())
    lines << changeNote_;
  backPicture1->setToolTip(lines.join(QLatin1Char('\n')));
}

} // namespace zub
