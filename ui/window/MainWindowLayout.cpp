// The controls of the main window: kind, container, place and size, caption,
// tooltip, picture and tab order. Places are kept in twips as the layout was
// designed; pixels are twips / 15, halves to even.

#include "MainWindow.h"

#include "Addresses.h"
#include "DesktopActions.h"
#include "OwnPictures.h"
#include "Theme.h"
#include "WindowMenu.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace zub {

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

// The controls, the window's style bits and the timer. The object names are
// the skin's to select, kept as the first skin knew them.
MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint) {
  services.dialogs = Dialogs::Qt(this);
  services.isForeground = [](const QWidget *w) { return w->isActiveWindow(); };
  services.cursorPos = [] { return QCursor::pos(); };
  services.popup = [](QMenu *menu, const QPoint &at) { menu->exec(at); };
  services.quit = [] { QCoreApplication::exit(0); };
  services.reveal = [](const QString &path) { desktop::ShowInFileManager(path); };
  services.runDialog = [](QDialog &dialog) { return dialog.exec(); };
  services.skinPath = DefaultSkinPath();
  services.pageAddress = QUrl(QString::fromLatin1(kMorviAddress));

  leaveTimer_ = new QTimer(this);
  buildControls();
  connectHandlers();

  // 10 ms, the system's minimum timer period; each tick is two cheap
  // queries. It starts when a face leaves idle.
  leaveTimer_->setInterval(10);
  connect(leaveTimer_, &QTimer::timeout, this, &MainWindow::checkPointerLeft);
}

void MainWindow::buildControls() {
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

  saveButton_ = Place(new QPushButton(QStringLiteral("保存二维码"), this), "Command2",
                      {6600, 1470, 1620, 375});
  generateButton_ = Place(new QPushButton(QStringLiteral("生成二维码"), this), "Command1",
                          {6600, 1080, 1620, 375});

  canvas_ = Place(new PictureBox(PictureBox::DrawMode::Persistent, this), "backPicture1",
                  {15, 1900, 8280, 6135});
  canvas_->setBackgroundPicture(Asset("sample-canvas.png"));
  canvas_->setMouseTracking(true);
  logoBox_ = Place(new PictureBox(PictureBox::DrawMode::Screen, canvas_), "LogoPic",
                   {3480, 2280, 1335, 1335});
  logoBox_->setBackgroundColor(palette().color(QPalette::Base)); // the system window colour
  // Drawn with its transparency over the box's colour.
  logoBox_->setBackgroundPicture(OwnPicture(QStringLiteral("default-logo-64.png")));
  logoBox_->setMouseTracking(true);

  canvas_->setAcceptDrops(true); // a logo file dropped here
  canvas_->installEventFilter(this);
  canvas_->setAccessibleName(QStringLiteral("二维码"));
  // A quiet veil: the old code stays visible beneath it ...
  canvasVeil_ = new QWidget(canvas_);
  canvasVeil_->setObjectName(QStringLiteral("canvasVeil"));
  canvasVeil_->setGeometry(canvas_->rect());
  canvasVeil_->setAttribute(Qt::WA_TransparentForMouseEvents);
  canvasVeil_->setAttribute(Qt::WA_StyledBackground);
  canvasVeil_->setStyleSheet(
      QStringLiteral("QWidget#canvasVeil { background: rgba(255, 255, 255, 150); }"));
  canvasVeil_->hide();
  // ... and the words on a plate of their own, which the modules beneath
  // cannot break up, in either theme.
  canvasMark_ = new QLabel(canvas_);
  canvasMark_->setObjectName(QStringLiteral("canvasMark"));
  canvasMark_->setAlignment(Qt::AlignCenter);
  canvasMark_->setAttribute(Qt::WA_TransparentForMouseEvents);
  canvasMark_->setStyleSheet(QStringLiteral(
      "QLabel#canvasMark { background: rgba(255, 255, 255, 240); color: #202020;"
      " border: 1px solid #9a9a9a; border-radius: 8px; padding: 8px 18px; font-size: 16px; }"));
  canvasMark_->hide();
  // A strip along the canvas's foot, over the quiet zone, for a few seconds;
  // the tooltip keeps saying it.
  changeNoteLabel_ = new QLabel(canvas_);
  changeNoteLabel_->setObjectName(QStringLiteral("changeNote"));
  changeNoteLabel_->setGeometry(0, canvas_->height() - 26, canvas_->width(), 26);
  changeNoteLabel_->setAlignment(Qt::AlignCenter);
  changeNoteLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
  changeNoteLabel_->setStyleSheet(
      QStringLiteral("QLabel#changeNote { background: rgba(255, 248, 200, 235);"
                     " color: #202020; font-size: 13px; }"));
  changeNoteLabel_->hide();
  changeNoteTimer_ = new QTimer(this);
  changeNoteTimer_->setSingleShot(true);
  changeNoteTimer_->setInterval(10000);
  connect(changeNoteTimer_, &QTimer::timeout, changeNoteLabel_, &QWidget::hide);

  compositeBox_ = Place(new PictureBox(PictureBox::DrawMode::Persistent, this), "sAVEPicture3",
                        {13080, 3000, 1575, 975});
  compositeBox_->setBackgroundColor(palette().color(QPalette::Base));
  pageFetcher_ = new PageFetcher(this);
  pageFetcher_->setObjectName(QStringLiteral("WebBrowser1"));
  saveBox_ = Place(new PictureBox(PictureBox::DrawMode::Persistent, this), "Picture1",
                   {11640, 5760, 8415, 6255});

  messageEdit_ = Place(new TextBox(this), "Text1", {15, 1080, 6480, 800});
  messageEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  messageEdit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  messageEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  messageEdit_->setTabChangesFocus(true);
  messageEdit_->setPlainText(QString::fromLatin1(kStudioAddress));
  messageEdit_->setAccessibleName(QStringLiteral("二维码内容"));
  generateButton_->setAccessibleName(QStringLiteral("生成二维码"));
  saveButton_->setAccessibleName(QStringLiteral("保存二维码"));

  optionGroup_ =
      Place(new QGroupBox(QStringLiteral("编码方式"), this), "Frame5", {9360, 600, 3375, 975});
  const struct {
    QComboBox **list;
    int index; // in the skin's name
    Twips where;
    const char *tooltip;
  } lists[] = {{&encodingList_, 3, {1680, 600, 1455, 300}, "Text encoding"},
               {&maskList_, 2, {120, 600, 1455, 300}, "Mask type"},
               {&levelList_, 1, {1680, 240, 1455, 300}, "Error correction level"},
               {&versionList_, 0, {120, 240, 1455, 300}, "Version"}};
  for (const auto &l : lists) {
    auto *list = new QComboBox(optionGroup_); // not editable: only its own items
    Place(list, "cmb1", l.where);
    list->setObjectName(QStringLiteral("cmb1(%1)").arg(l.index));
    list->setToolTip(QString::fromLatin1(l.tooltip));
    *l.list = list;
  }

  faceGroup_ =
      Place(new QGroupBox(QStringLiteral("插件"), this), "Frame1", {10680, 2640, 2175, 2175});
  faceHolders_ = Place(new QGroupBox(QStringLiteral("状态按钮"), faceGroup_), "Frame2",
                       {240, 240, 1695, 1815});
  // Each button's three faces, idle, hover and pressed, one row a button.
  const struct {
    std::array<ImageControl *, 3> *faces;
    const char *names[3];
    const char *assets[3];
    int top;
  } faceRows[] = {
      {&closeFaces_, {"关闭1", "关闭2", "关闭3"}, {"close1.png", "close2.png", "close3.png"}, 1200},
      {&menuFaces_, {"菜单1", "菜单2", "菜单3"}, {"menu1.png", "menu2.png", "menu3.png"}, 720},
      {&minimiseFaces_, {"最小1", "最小2", "最小3"}, {"min1.png", "min2.png", "min3.png"}, 240}};
  for (const auto &row : faceRows)
    for (std::size_t face = 3; face-- > 0;) {
      const int left = 120 + 480 * static_cast<int>(face);
      auto *image =
          Place(new ImageControl(faceHolders_), row.names[face], {left, row.top, 465, 465});
      image->setPicture(Asset(row.assets[face]));
      (*row.faces)[face] = image;
    }

  logoHolder_ = Place(new ImageControl(this), "ImageRND1", {13080, 240, 1575, 1575});
  symbolHolder_ = Place(new ImageControl(this), "Image1", {11760, 2280, 8355, 6315});
  symbolHolder_->setStretch(true);

  auto button = [this](const char *name, int left, const char *tooltip, const char *asset) {
    auto *image = Place(new ImageControl(this), name, {left, 0, 465, 465});
    image->setToolTip(QString::fromUtf8(tooltip));
    image->setPicture(Asset(asset));
    image->setAccessibleName(QString::fromUtf8(tooltip));
    image->setMouseTracking(true);
    return image;
  };
  minimiseButton_ = button("最小0", 7330, "最小化", "min0.png");
  menuButton_ = button("菜单0", 6855, "菜单", "menu0.png");
  closeButton_ = button("关闭0", 7840, "关闭", "close0.png");

  // Tab order: the save button, the option lists, the generate button, the
  // text box, then the picture boxes. The frames and the image controls
  // take no focus.
  QWidget *const chain[] = {saveButton_,   versionList_,    levelList_,   maskList_,
                            encodingList_, generateButton_, messageEdit_, saveBox_,
                            compositeBox_, canvas_,         logoBox_};
  for (QWidget *w : {static_cast<QWidget *>(saveBox_), static_cast<QWidget *>(compositeBox_),
                     static_cast<QWidget *>(canvas_), static_cast<QWidget *>(logoBox_)})
    w->setFocusPolicy(Qt::StrongFocus);
  for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
    setTabOrder(chain[i], chain[i + 1]);
}

void MainWindow::connectHandlers() {
  connect(messageEdit_, &TextBox::gotFocus, messageEdit_, &QPlainTextEdit::selectAll);
  connect(generateButton_, &QPushButton::clicked, this, &MainWindow::generateWithLogoDialog);
  connect(saveButton_, &QPushButton::clicked, this, &MainWindow::save);

  // A drag over the background, the canvas, the logo box or the hidden
  // pictures moves the window.
  for (PictureBox *box : {canvas_, logoBox_, saveBox_})
    connect(box, &PictureBox::mouseMoved, this, [this](QMouseEvent *e) { dragFromBackground(*e); });
  connect(symbolHolder_, &ImageControl::mouseMoved, this,
          [this](QMouseEvent *e) { dragFromBackground(*e); });
  for (PictureBox *box : {canvas_, logoBox_})
    connect(box, &PictureBox::mouseReleased, this,
            [this](QMouseEvent *e) { canvasReleased(e->button()); });

  // Keys: Ctrl+Enter in the text box generates, Ctrl+S saves, Ctrl+C over
  // the canvas copies the code.
  for (const QKeySequence &keys :
       {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)})
    connect(new QShortcut(keys, messageEdit_, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, &MainWindow::generateWithLogoDialog);
  connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this, &MainWindow::save);
  connect(
      new QShortcut(QKeySequence::Copy, canvas_, nullptr, nullptr, Qt::WidgetWithChildrenShortcut),
      &QShortcut::activated, this, &MainWindow::copyPicture);

  // The canvas says when its code no longer matches the text and options.
  connect(messageEdit_, &QPlainTextEdit::textChanged, this, &MainWindow::updateCanvasMark);
  // A list the user changes changes the options; the rest follows them.
  for (OptionList kind : kOptionLists)
    connect(optionList(kind), &QComboBox::currentIndexChanged, this,
            [this, kind](int index) { setOptions(WithOptionListIndex(options_, kind, index)); });

  const struct {
    ImageControl *control;
    TitleButton button;
  } titleButtons[] = {{minimiseButton_, TitleButton::Minimise},
                      {menuButton_, TitleButton::Menu},
                      {closeButton_, TitleButton::Close}};
  for (const auto &[control, which] : titleButtons) {
    connect(control, &ImageControl::mousePressed, this,
            [this, b = which] { titleButtonPressed(b); });
    connect(control, &ImageControl::mouseMoved, this, [this, b = which] { titleButtonMoved(b); });
    connect(control, &ImageControl::mouseReleased, this,
            [this, b = which] { titleButtonReleased(b); });
  }
}

void MainWindow::showChangeNote(const QString &note) {
  changeNote_ = note;
  changeNoteLabel_->setText(note);
  changeNoteLabel_->setVisible(!note.isEmpty());
  if (note.isEmpty())
    changeNoteTimer_->stop();
  else
    changeNoteTimer_->start();
  updateOptionsTooltip();
}

void MainWindow::updateOptionsTooltip() {
  QStringList lines;
  for (OptionList kind : kOptionLists)
    lines << OptionListName(kind) + QStringLiteral("：") + OptionItemWords(kind, options_);
  if (!changeNote_.isEmpty())
    lines << changeNote_;
  canvas_->setToolTip(lines.join(QLatin1Char('\n')));
}

} // namespace zub
