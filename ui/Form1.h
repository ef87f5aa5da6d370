#pragma once

#include "Dialogs.h"
#include "HiddenBrowser.h"
#include "ImageControl.h"
#include "LogoImage.h"
#include "PictureBox.h"
#include "ReadableCode.h"
#include "clsQRCode.h"

#include <QFuture>
#include <QPlainTextEdit>
#include <QRectF>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QIcon;
class QLineEdit;
class QListWidget;
class QMenu;
class QPalette;
class QPushButton;
class QTimer;

namespace zub {

class Form2;
class SingleInstance;

// The transparency key and background colour of the main window: #FD05D7.
constexpr QRgb kColourKey = 0xFFFD05D7;

// The multi-line text box whose whole text is selected whenever it receives
// the focus, by keyboard or by mouse, so the first key typed replaces it.
class TextBox : public QPlainTextEdit {
  Q_OBJECT

public:
  explicit TextBox(QWidget *parent = nullptr);

signals:
  void gotFocus();

protected:
  void focusInEvent(QFocusEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

private:
  bool focusByMouse_ = false;
};

// A logo file read off the interface thread: the picture, or why there is
// none, and the picture as the logo box shows it (LogoInBox), which for a
// large photo is, with the decoding, most of the work.
struct LoadedLogo {
  LogoLoad file;
  QImage inBox;
};

// The main window: borderless, 554 x 601, drawn by its background picture.
// The constructor builds every control and starts the mouse-leave timer;
// Form_Load brings the window to life, Form_Unload ends the program.
class Form1 : public QWidget {
  Q_OBJECT

public:
  explicit Form1(QWidget *parent = nullptr);
  ~Form1() override;

  // What the window asks of the desktop; tests replace these.
  struct Services {
    Dialogs dialogs;
    // Whether the window is the active one, and where the pointer is
    // (screen pixels): the mouse-leave timer's two questions.
    std::function<bool(const QWidget *)> isForeground;
    std::function<QPoint()> cursorPos;
    // Shows the menu at a screen position; returns when it has closed and a
    // chosen entry has run.
    std::function<void(QMenu *, const QPoint &)> popup;
    // Ends the program with exit code 0.
    std::function<void()> quit;
    // Shows a saved file in the file manager.
    std::function<void(const QString &path)> reveal;
  } services;

  // The style sheet applied at load: "she.she" beside the program or in its
  // installed data folder (FindDataFile).
  QString skinPath;
  // The page loaded in the background once the window is up; empty: none.
  QUrl pageAddress;

  // --- Lifecycle -----------------------------------------------------------
  // False when another instance runs: then the window has unloaded itself,
  // nothing was shown or stored, and the caller must not show it.
  bool Form_Load(SingleInstance &instance);
  void Form_Unload();
  void Text1_GotFocus();
  // A later start asked for the window: restored if minimised, raised and
  // activated.
  void ComeToFront();

  // --- Title-bar buttons and mouse-leave tracking -------------------------
  void 按钮恢复();
  void 获取鼠标坐标(const QWidget *window);
  void MouseLeaveTimerProc();
  void 最小0_MouseDown();
  void 最小0_MouseMove();
  void 最小0_MouseUp();
  void 菜单0_MouseDown();
  void 菜单0_MouseMove();
  void 菜单0_MouseUp();
  void 关闭0_MouseDown();
  void 关闭0_MouseMove();
  void 关闭0_MouseUp();
  void Form_MouseMove(const QMouseEvent &event);
  void backPicture1_MouseMove(const QMouseEvent &event);
  void LogoPic_MouseMove(const QMouseEvent &event);
  void Picture1_MouseMove(const QMouseEvent &event);
  void Image1_MouseMove(const QMouseEvent &event);

  // --- Picture commands (Form1Commands.cpp) --------------------------------
  // Asks for the logo and reads the text and the options here; encoding,
  // loading the logo and the read-back check run off the interface thread,
  // and the controls take the result when it reports back. While a
  // generation runs the window is busy: both buttons are greyed, the canvas
  // says so, and a command that still arrives (a key, a menu entry) is
  // refused with a message. Every click that is not refused ends with
  // generationFinished, at once when nothing is to be made.
  void Command1_Click();
  // "生成二维码（不加Logo）": the code alone, no dialog.
  void GenerateWithoutLogo();
  // A logo file dropped on the canvas: generates with it, no dialog.
  void GenerateWithLogo(const QString &path);
  bool generating() const { return generating_; }
  // The search for options that scan of the last generation whose code
  // did not (cancelled when the window closed during it).
  const RemedySearch &lastRemedySearch() const { return lastSearch_; }
  // The code on the canvas, as it was made and checked: the value whose
  // composite the controls show and saving and copying write. Null before
  // the first code and after a text that did not fit.
  const MadeCode *shownCode() const { return shown_ ? &*shown_ : nullptr; }
  // Saves the composite; a stale one only when the user says so.
  void Command2_Click();
  // "复制二维码": the composite onto the clipboard as an image.
  void CopyPicture();
  // "总是使用容易扫描的设置": a code that fails the scan check is replaced
  // by the first candidate that passes without a question. Remembered with
  // the window's position; off until the user turns it on.
  bool alwaysReadable() const { return alwaysReadable_; }
  void setAlwaysReadable(bool on);
  // True when a code is shown that was made from another text or other
  // options than the controls hold now.
  bool stale() const;
  // The text box's text exactly as typed, line breaks as "\n".
  QString MessageText() const;
  // The logo dialog: the chosen file, or an empty string.
  QString 打开文件();
  // Lays `logo`, read from `path`, over the symbol on the canvas: the logo
  // box shows the logo and then what the code's composition captured.
  void LogoSelect(const QString &path, const LoadedLogo &logo);
  // Shows the shown code's composite in the composite box, the symbol
  // holder and the save box.
  void 圆角PIC();
  void 初始化picture控件();
  // The logo box over a code made without a logo: the canvas beneath it.
  void ShowWithoutLogo();
  void backPicture1_MouseUp(Qt::MouseButton button);
  void LogoPic_MouseUp(Qt::MouseButton button);

  // The menu window, created on first use.
  Form2 &form2();

  // --- State shared by the handlers ----------------------------------------
  bool ButtonPressed = false;
  bool WindowInactive = false;
  QRectF WindowRect; // outer rectangle in screen pixels, zero until recorded
  QTimer *TimerId = nullptr;

  // --- Controls, in the order they are created -----------------------------
  QPushButton *Command2 = nullptr;
  QPushButton *Command1 = nullptr;
  QLineEdit *Text2 = nullptr;
  PictureBox *backPicture1 = nullptr; // canvas
  PictureBox *LogoPic = nullptr;      // logo box, child of the canvas
  PictureBox *sAVEPicture3 = nullptr; // composite box
  HiddenBrowser *WebBrowser1 = nullptr;
  CommonDialog CommonDialog1;
  PictureBox *Picture1 = nullptr; // save box
  TextBox *Text1 = nullptr;
  QGroupBox *Frame5 = nullptr;
  std::array<QComboBox *, 4> cmb1{};
  QGroupBox *Frame1 = nullptr;
  QListWidget *lstdirs = nullptr;
  QGroupBox *Frame2 = nullptr;
  ImageControl *关闭3 = nullptr, *关闭2 = nullptr, *关闭1 = nullptr;
  ImageControl *菜单3 = nullptr, *菜单2 = nullptr, *菜单1 = nullptr;
  ImageControl *最小3 = nullptr, *最小2 = nullptr, *最小1 = nullptr;
  ImageControl *ImageRND1 = nullptr; // logo holder
  ImageControl *Image1 = nullptr;    // symbol holder
  ImageControl *最小0 = nullptr;
  ImageControl *菜单0 = nullptr;
  ImageControl *关闭0 = nullptr;
  QLabel *canvasMark = nullptr; // busy or out of date, over the canvas
  QLabel *changeNote = nullptr; // what the window changed to make the code scan

signals:
  void generationFinished();

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  enum class Face { Idle, Hover, Pressed };
  struct Generation;
  // What a code is made from: the text and the four list positions.
  struct Inputs {
    QString text;
    std::array<int, 4> options{};
    bool operator==(const Inputs &) const = default;
  };

  void BuildControls();
  void ConnectHandlers();
  void FillOptionLists();
  void BackgroundMouseMove(const QMouseEvent &event);
  void SetFaces(Face minimise, Face menu, Face close);
  bool FacesIdle() const;
  void RefreshWindowInactive();
  void PopupMenus(bool withSave);
  void ShowGeneration(const Generation &done);
  void StartGeneration(const QString &logoPath);
  bool RefuseWhileBusy(const QString &text);
  void SetBusy(bool busy);
  void UpdateCanvasMark();
  void UpdateOptionsTooltip();
  void ShowChangeNote(const QString &note);
  Inputs CurrentInputs() const;

  QImage background_;
  std::unique_ptr<clsQRCode> encoder_; // made by the first generation, kept
  QFuture<void> generation_;           // the work of the running generation
  bool generating_ = false;
  std::optional<Inputs> shownInputs_; // of the code on the canvas
  std::optional<MadeCode> shown_;     // the code on the canvas, as checked
  int saveFilterIndex_ = 1;           // the save dialog's last choice
  QString lastSaveFolder_;            // where the last save went
  QString lastLogoPath_;              // the logo the dialog gave last
  bool pageRequestPending_ = false;
  bool unloading_ = false;
  // Tells the work of a generation that the window is closing: a search for
  // options that scan stops before its next candidate.
  std::atomic<bool> cancelSearch_{false};
  RemedySearch lastSearch_;
  bool quietLogo_ = false; // showing an offered code: the logo was told of once
  bool alwaysReadable_ = false;
  QString changeNote_; // said under the canvas and in its tooltip; empty: nothing changed
  QTimer *changeNoteTimer_ = nullptr;
  std::unique_ptr<Form2> form2_;
};

// What would make a text that is too long fit, with the options it was
// tried with (version 0: automatic; level 1 to 4: L to H).
struct TooLongHelp {
  int version = 0;
  int ecLevel = 2;
  bool largerVersion = false; // the smallest version that fits, same level
  bool lowerLevel = false;    // level L, same version
  bool both = false;          // only the two together
};

// The message for a text too long for a code: advises only what would help
// with the current options, and names the level when it is not the default.
QString TooLongText(const TooLongHelp &help);

// Where the save dialog starts: the folder of the last save while it exists;
// else the program's folder when the program runs from its own folder (a
// portable copy or the build tree: its skin beside it, the folder writable);
// else the user's Pictures folder (or home when there is none).
QString SaveStartFolder(const QString &programFolder, const QString &lastSaveFolder = QString());

// The logo dialog's filter: the two historic entries, then one of every
// format the logo loader reads, in either case.
extern const char *const kLogoFilter;

// A list item as the menus and tooltips show it: "Automatic" is "自动".
QString OptionShownText(const QString &item);

// The main window's own colours: the light ones its pictures are drawn for,
// whatever the desktop's theme, each text colour with its background.
QPalette WindowPalette();

// `palette` with every text colour moved, where needed, until it keeps at
// least 4.5 : 1 against its background: the desktop theme's colours for the
// dialogs, menus and tooltips, made readable. A selection's colour is moved
// rather than its text, so that it stays the theme's hue.
QPalette ReadablePalette(QPalette palette);

// Makes the application's palette (the theme's) readable by ReadablePalette;
// sets it only when that changes something. Best called before the
// controls exist, as the skin is: set later, every control hears of it.
void MakeThemeReadable();

// The contrast ratio of two colours, as the web's accessibility guidelines
// compute it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor &a, const QColor &b);

// The program's icon in all its sizes; both windows carry it.
QIcon ApplicationIcon();

// Applies the style sheet in `path` to the whole program. A missing,
// unreadable, oversized or non-UTF-8 file changes nothing: false. The sheet
// already in force is not set again.
bool ApplySkinFile(const QString &path);

// The skin file the window loads: she.she of the program's data.
QString DefaultSkinPath();

} // namespace zub
