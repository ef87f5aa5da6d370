#pragma once

#include "Dialogs.h"
#include "ImageControl.h"
#include "LogoImage.h"
#include "OptionWords.h"
#include "PageFetcher.h"
#include "PictureBox.h"
#include "QrEncoder.h"
#include "ReadableCode.h"
#include "TextBox.h"

#include <QFuture>
#include <QRectF>
#include <QUrl>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace zub {

namespace test {
struct WindowProbe;
}

class WindowMenu;
class SingleInstance;

// The transparency key and background colour of the main window: #FD05D7.
constexpr QRgb kColourKey = 0xFFFD05D7;

// A logo file read off the interface thread: the picture, or why there is
// none, and the picture as the logo box shows it (LogoInBox), which for a
// large photo is, with the decoding, most of the work.
struct LoadedLogo {
  LogoLoad file;
  QImage inBox;
};

// The main window: borderless, 554 x 601, drawn by its background picture.
// The constructor builds every control and starts the mouse-leave timer;
// load brings the window to life, unload ends the program.
class MainWindow : public QWidget {
  Q_OBJECT

public:
  explicit MainWindow(QWidget *parent = nullptr);
  ~MainWindow() override;

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
    // Runs one of the window's own dialogs (the form of "插入…") modally and
    // returns its result, QDialog::Accepted or Rejected.
    std::function<int(QDialog &)> runDialog;

    // The style sheet applied at load: "she.she" beside the program or in
    // its installed data folder (FindDataFile).
    QString skinPath;
    // The page loaded in the background once the window is up; empty: none.
    QUrl pageAddress;
  } services;

  // --- Lifecycle -----------------------------------------------------------
  // False when another instance runs: then the window has unloaded itself,
  // nothing was shown or stored, and the caller must not show it.
  bool load(SingleInstance &instance);
  void unload();
  // A later start asked for the window: restored if minimised, raised and
  // activated.
  void comeToFront();

  // --- The options ---------------------------------------------------------
  // What the next code is made with. The option lists, the menus and the
  // canvas's tooltip show this one value; setOptions is the one way it
  // changes, whoever asks (a list, a menu entry, the scan check's offer).
  const CodeOptions &options() const { return options_; }
  void setOptions(const CodeOptions &options);

  // --- Picture commands (MainWindowCommands.cpp; SaveAndCopy.cpp) ----------
  // Asks for the logo and reads the text and the options here; encoding,
  // loading the logo and the read-back check run off the interface thread,
  // and the controls take the result when it reports back. While a
  // generation runs the window is busy: both buttons are greyed, the canvas
  // says so, and a command that still arrives (a key, a menu entry) is
  // refused with a message. Every click that is not refused ends with
  // generationFinished, at once when nothing is to be made.
  void generateWithLogoDialog();
  // "生成二维码（不加Logo）": the code alone, no dialog.
  void generateWithoutLogo();
  // A logo file dropped on the canvas: generates with it, no dialog.
  void generateWithLogo(const QString &path);
  bool generating() const { return generating_; }
  // The search for options that scan of the last generation whose code
  // did not (cancelled when the window closed during it).
  const RemedySearch &lastRemedySearch() const { return lastSearch_; }
  // The code on the canvas, as it was made and checked: the value whose
  // composite the controls show and saving and copying write. Null before
  // the first code and after a text that did not fit.
  const MadeCode *shownCode() const { return shown_ ? &*shown_ : nullptr; }
  // Saves the composite; a stale one only when the user says so. Named
  // ".svg", the composite as a vector picture, written off the interface
  // thread once a renderer's drawing of it reads (saveFinished then).
  void save();
  // "保存高清二维码…": the composite drawn 2, 4, 8 or 16 times larger for
  // print (chosen from a list that says each size's pixels and printed
  // size), the logo drawn from its file at that size; made and written off
  // the interface thread, saveFinished at the end.
  void saveLarge();
  bool saving() const { return saving_; }
  // "复制二维码": the composite onto the clipboard as an image.
  void copyPicture();
  // "总是使用容易扫描的设置": a code that fails the scan check is replaced
  // by the first candidate that passes without a question. Remembered with
  // the window's position; off until the user turns it on.
  bool alwaysReadable() const { return alwaysReadable_; }
  void setAlwaysReadable(bool on);
  // True when a code is shown that was made from another text or other
  // options than the window holds now.
  bool stale() const;
  // The text box's text exactly as typed, line breaks as "\n".
  QString messageText() const;

  // "插入…": the dialog of forms (a Wi-Fi network, a contact card...); the
  // text of the one filled in replaces the text box's, as one step that
  // Ctrl+Z takes back. A text beyond ASCII under ANSI switches the text
  // encoding to UTF-8, which phones read such texts in, and says so.
  void insertForm();

  // The menu of the title bar's ▼ and of the picture, created on first use.
  WindowMenu &windowMenu();

signals:
  void generationFinished();
  // A save that ran off the interface thread ended, told or not.
  void saveFinished();

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  friend struct test::WindowProbe;
  friend class WindowMenu;
  enum class Face { Idle, Hover, Pressed };
  enum class TitleButton { Minimise, Menu, Close };
  struct Generation;
  // What a code is made from: the text and the options.
  struct Inputs {
    QString text;
    CodeOptions options;
    bool operator==(const Inputs &) const = default;
  };

  // --- Building (MainWindowLayout.cpp) -------------------------------------
  void buildControls();
  void connectHandlers();
  void fillOptionLists();
  QComboBox *optionList(OptionList kind) const;
  void updateOptionsTooltip();
  void showChangeNote(const QString &note);

  // --- Title-bar buttons and mouse-leave tracking (TitleButtons.cpp) -------
  // Image controls have no leave event: a timer puts the faces back to idle
  // once the pointer is outside the window or another window is active.
  void titleButtonPressed(TitleButton button);
  void titleButtonMoved(TitleButton button);
  void titleButtonReleased(TitleButton button);
  void resetFaces();
  void recordFrame();
  void checkPointerLeft();
  void setFaces(Face minimise, Face menu, Face close);
  bool facesIdle() const;
  void refreshInactive();
  void dragFromBackground(const QMouseEvent &event);
  void popupMenu(bool withSave);

  // --- Making and showing a code (MainWindowCommands.cpp) ------------------
  void canvasReleased(Qt::MouseButton button);
  // The logo dialog: the chosen file, or an empty string.
  QString askForLogo();
  void startGeneration(const QString &logoPath);
  void showGeneration(const Generation &done);
  // Lays `logo`, read from `path`, over the symbol on the canvas: the logo
  // box shows the logo and then what the code's composition captured.
  void showLogo(const QString &path, const LoadedLogo &logo);
  // The logo box over a code made without a logo: the canvas beneath it.
  void showWithoutLogo();
  // Shows the shown code's composite in the composite box and the save box.
  void showComposite();
  void fitCompositeBoxes();
  // Tells the user when the text fits no code with the options chosen;
  // true then.
  bool refuseTooLong();
  bool refuseWhileBusy(const QString &text);
  void setBusy(bool busy);
  // SaveAndCopy.cpp: what every save asks first (nothing is being made, a
  // code is shown, a stale one is wanted); the path the dialog gave.
  std::optional<QString> askSavePath(const QString &filter);
  struct SaveJob;
  void startSave(const std::shared_ptr<SaveJob> &job);
  void tellSaved(const SaveJob &job);
  void setSaving(bool saving);
  // The cursor, the buttons and the canvas's mark while work runs.
  void showBusy(bool busy);
  // Tells of a saved file (`size`: what it is, after its place) and offers
  // to show it.
  void tellSavedAt(const QString &path, const QString &size);
  // Tells that there is no code to save or copy; true then.
  bool refuseWithoutCode();
  void updateCanvasMark();
  Inputs currentInputs() const;

  // --- Controls, in the order they are created -----------------------------
  QPushButton *saveButton_ = nullptr;
  QPushButton *generateButton_ = nullptr;
  PictureBox *canvas_ = nullptr;       // the code stretched over it, or the sample
  PictureBox *logoBox_ = nullptr;      // the rounded logo, child of the canvas
  PictureBox *compositeBox_ = nullptr; // the composite, off the window
  PictureBox *saveBox_ = nullptr;      // the composite as saved, off the window
  TextBox *messageEdit_ = nullptr;
  // The option lists, off the window: the menus show them.
  QGroupBox *optionGroup_ = nullptr;
  QComboBox *versionList_ = nullptr;
  QComboBox *levelList_ = nullptr;
  QComboBox *maskList_ = nullptr;
  QComboBox *encodingList_ = nullptr;
  // The title bar's faces, idle, hover and pressed, held off the window.
  QGroupBox *faceGroup_ = nullptr;
  QGroupBox *faceHolders_ = nullptr;
  std::array<ImageControl *, 3> minimiseFaces_{};
  std::array<ImageControl *, 3> menuFaces_{};
  std::array<ImageControl *, 3> closeFaces_{};
  ImageControl *logoHolder_ = nullptr;   // the logo as read, off the window
  ImageControl *symbolHolder_ = nullptr; // the symbol, one pixel a module, off the window
  ImageControl *minimiseButton_ = nullptr;
  ImageControl *menuButton_ = nullptr;
  ImageControl *closeButton_ = nullptr;
  QLabel *canvasMark_ = nullptr;       // busy or out of date, over the canvas
  QWidget *canvasVeil_ = nullptr;      // dims the canvas beneath the mark
  QLabel *changeNoteLabel_ = nullptr;  // what the window changed to make the code scan
  PageFetcher *pageFetcher_ = nullptr; // the page loaded in the background
  FileDialogState fileDialog_;

  // --- State -----------------------------------------------------------------
  CodeOptions options_ = WindowDefaultOptions();
  bool titleButtonHeld_ = false;
  bool inactive_ = false;
  QRectF frameRect_; // outer rectangle in screen pixels, zero until recorded
  QTimer *leaveTimer_ = nullptr;
  QImage background_;
  std::unique_ptr<QrEncoder> encoder_; // made by the first generation, kept
  QFuture<void> generation_;           // the work of the running generation
  bool generating_ = false;
  std::optional<Inputs> shownInputs_; // of the code on the canvas
  // The symbol encoded to see whether the text fits, before the logo
  // dialog, with the inputs it was made of: the generation that follows
  // takes it instead of encoding again.
  std::optional<std::pair<Inputs, MadeCode>> encodedAhead_;
  std::optional<MadeCode> shown_; // the code on the canvas, as checked
  // What it was made from, and its logo's picture and file: the larger and
  // the vector saves draw from them.
  CodeSource shownSource_;
  QImage shownLogo_; // null: no logo
  QString shownLogoPath_;
  QSize shownLogoSize_;      // the logo file's pixels when it was read
  int largeScaleChoice_ = 2; // the large save's last choice: 8 times
  QFuture<void> saveWork_;   // the work of the running save
  bool saving_ = false;
  int saveFilterIndex_ = 1; // the save dialog's last choice
  QString lastSaveFolder_;  // where the last save went
  QString lastLogoPath_;    // the logo the dialog gave last
  bool loaded_ = false;
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
  std::unique_ptr<WindowMenu> windowMenu_;
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

} // namespace zub
