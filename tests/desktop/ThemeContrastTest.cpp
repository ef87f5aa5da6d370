// Every text the window shows stays readable whatever the desktop's theme:
// the text box, the buttons in each of their states, the notes over the
// canvas, the menus, the tooltips, the message boxes and the file dialog.
// Each is drawn by the real program on a real X server and measured: the
// background is the most common colour where the text is, the text the
// colour farthest from it, and their contrast ratio (as the web's
// accessibility guidelines compute it) must be at least 4.5 : 1.

#include "ThemeContrast.h"
#include "Desktop.h"
#include "DesktopActions.h"
#include "MainWindow.h"
#include "SingleInstance.h"
#include "Theme.h"
#include "WindowMenu.h"
#include "WindowProbe.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

namespace zub {
namespace {

using test::TheDesktop;

double Channel(int value) {
  const double c = value / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(QRgb c) {
  return 0.2126 * Channel(qRed(c)) + 0.7152 * Channel(qGreen(c)) + 0.0722 * Channel(qBlue(c));
}

double Contrast(QRgb a, QRgb b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A text as drawn: its background, its colour and how far apart they are.
struct Ink {
  QRgb background = 0, text = 0;
  double contrast = 1;
  int pixels = 0; // pixels that stand out from the background
};

Ink Measure(const QImage &picture, QRect area) {
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  area &= image.rect();
  std::map<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      ++counts[image.pixel(x, y)];
  Ink ink;
  int most = 0;
  for (const auto &[colour, count] : counts)
    if (count > most) {
      most = count;
      ink.background = colour;
    }
  for (const auto &[colour, count] : counts) {
    const double c = Contrast(colour, ink.background);
    if (c > 1.5)
      ink.pixels += count;
    if (c > ink.contrast) {
      ink.contrast = c;
      ink.text = colour;
    }
  }
  return ink;
}

QString Hex(QRgb c) {
  return QColor(c).name();
}

// The text in `area` of `picture` is there and readable.
void ExpectReadable(const QImage &picture, const QRect &area, const QString &what) {
  const Ink ink = Measure(picture, area);
  SCOPED_TRACE(QStringLiteral("%1 (%2 theme): %3 on %4, %5 : 1")
                   .arg(what, test::theme, Hex(ink.text), Hex(ink.background))
                   .arg(ink.contrast, 0, 'f', 2)
                   .toStdString());
  EXPECT_GE(ink.pixels, 8) << "no text to be seen";
  EXPECT_GE(ink.contrast, 4.5);
}

void ExpectReadable(QWidget *widget, const QString &what, int inset = 3) {
  ExpectReadable(widget->grab().toImage(), widget->rect().adjusted(inset, inset, -inset, -inset),
                 what);
}

// Runs `look` on the modal dialog that `open` shows, then closes it.
template <typename Dialog>
void WhileOpen(const std::function<void()> &open, const std::function<void(Dialog *)> &look) {
  bool looked = false;
  std::function<void()> poll;
  poll = [&] {
    auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || !QTest::qWaitForWindowExposed(dialog, 0)) {
      QTimer::singleShot(20, poll);
      return;
    }
    look(dialog);
    looked = true;
    dialog->reject();
  };
  QTimer::singleShot(20, poll);
  open();
  EXPECT_TRUE(looked);
}

class ThemeContrastTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!TheDesktop().installed)
      GTEST_SKIP() << TheDesktop().why.toStdString();
    ASSERT_TRUE(TheDesktop().ready) << TheDesktop().why.toStdString();
    if (test::theme != QLatin1String("plain")) {
      const QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                             QStringLiteral("/platformthemes/libqgtk3.so");
      if (!QFile::exists(plugin))
        GTEST_SKIP() << "the GTK platform theme is not installed";
      // Installed, it must have taken: a dark run in a light theme proves
      // nothing.
      const bool dark = QApplication::palette().color(QPalette::Window).lightness() < 128;
      ASSERT_EQ(dark, test::theme == QLatin1String("dark"))
          << "the desktop theme did not take: " << test::theme.toStdString();
    }
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    ASSERT_TRUE(ApplySkinFile(QStringLiteral(ZUB_SKIN_SOURCE)));
    form = std::make_unique<MainWindow>();
    form->services.skinPath = QStringLiteral(ZUB_SKIN_SOURCE);
    form->services.pageAddress = QUrl();
    form->services.quit = [] {};
    instance = std::make_unique<SingleInstance>(dir.filePath(QStringLiteral("lock")));
    ASSERT_TRUE(form->load(*instance));
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), 20000));
  }

  void TearDown() override {
    form.reset();
    instance.reset();
    qApp->setStyleSheet(QString());
  }

  QTemporaryDir dir;
  std::unique_ptr<MainWindow> form;
  std::unique_ptr<SingleInstance> instance;
};

TEST_F(ThemeContrastTest, TextBoxWithAndWithoutSelection) {
  QPlainTextEdit *box = Probe(*form).messageEdit();
  box->setFocus(); // selects the whole text
  ASSERT_TRUE(QTest::qWaitFor([&] { return box->textCursor().hasSelection(); }, 5000));
  const QRect viewport = box->viewport()->geometry();
  ExpectReadable(box->grab().toImage(), viewport, QStringLiteral("text box, selected"));
  QTextCursor cursor = box->textCursor();
  cursor.clearSelection();
  box->setTextCursor(cursor);
  ExpectReadable(box->grab().toImage(), viewport, QStringLiteral("text box"));
  const QImage focused = box->grab().toImage();
  // Its frame says where the keys go, and a disabled box looks it.
  Probe(*form).saveButton()->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !box->hasFocus(); }, 5000));
  EXPECT_NE(box->grab().toImage(), focused) << "the focus cannot be seen";
  box->setEnabled(false);
  ExpectReadable(box->grab().toImage(), viewport, QStringLiteral("text box disabled"));
  EXPECT_NE(box->grab().toImage(), focused);
}

// The letters of the title and bottom bands, drawn into the window's picture.
TEST_F(ThemeContrastTest, BandLetters) {
  const QImage window = form->grab().toImage();
  const struct {
    QRect area;
    const char *what;
  } texts[] = {{{70, 12, 200, 26}, "title"},
               {{71, 42, 200, 16}, "subtitle"},
               {{84, 544, 280, 22}, "slogan"},
               {{84, 570, 210, 18}, "makers"}};
  for (const auto &t : texts)
    ExpectReadable(window, t.area, QString::fromLatin1(t.what));
}

TEST_F(ThemeContrastTest, ButtonsInEveryState) {
  QPushButton *button = Probe(*form).generateButton();
  ExpectReadable(button, QStringLiteral("button"));
  const QImage idle = button->grab().toImage();

  // The pointer over it, for real.
  QCursor::setPos(button->mapToGlobal(button->rect().center()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return button->underMouse(); }, 5000));
  QTest::qWait(50);
  ExpectReadable(button, QStringLiteral("button under the pointer"));
  EXPECT_NE(button->grab().toImage(), idle);
  button->setDown(true);
  ExpectReadable(button, QStringLiteral("button pressed"));
  button->setDown(false);
  QCursor::setPos(form->mapToGlobal(QPoint(200, 300)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !button->underMouse(); }, 5000));

  button->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(QTest::qWaitFor([&] { return button->hasFocus(); }, 5000));
  ExpectReadable(button, QStringLiteral("button with the focus"));
  EXPECT_NE(button->grab().toImage(), idle) << "the focus cannot be seen";

  button->setEnabled(false);
  ExpectReadable(button, QStringLiteral("button greyed while busy"));
  EXPECT_NE(button->grab().toImage(), idle);
}

// The busy and stale notes lie over the code, whose modules may be black or
// white under any letter: both are tried.
TEST_F(ThemeContrastTest, NotesOverTheCanvas) {
  const QString logo = dir.filePath(QStringLiteral("logo.png"));
  QImage picture(64, 64, QImage::Format_RGB32);
  picture.fill(QColor(200, 60, 30));
  ASSERT_TRUE(picture.save(logo));

  auto measureOver = [&](const QString &what) {
    for (const QColor under : {QColor(Qt::black), QColor(Qt::white)}) {
      QImage canvas(Probe(*form).canvas()->size(), QImage::Format_RGB32);
      canvas.fill(under);
      Probe(*form).canvas()->drawPicture(canvas, 0, 0);
      Probe(*form).logoBox()->hide();
      ASSERT_TRUE(Probe(*form).canvasMark()->isVisible()) << what.toStdString();
      // The letters' band across the middle of the canvas.
      const QRect band(0, Probe(*form).canvas()->height() / 2 - 14, Probe(*form).canvas()->width(),
                       28);
      ExpectReadable(Probe(*form).canvas()->grab().toImage(), band,
                     what + QStringLiteral(" over ") + under.name());
    }
  };

  QSignalSpy finished(form.get(), &MainWindow::generationFinished);
  form->generateWithLogo(logo);
  ASSERT_TRUE(form->generating());
  measureOver(QStringLiteral("busy note"));
  ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  Probe(*form).messageEdit()->setPlainText(QStringLiteral("something else"));
  ASSERT_TRUE(form->stale());
  measureOver(QStringLiteral("stale note"));
}

TEST_F(ThemeContrastTest, MenusTheirHighlightAndSubmenus) {
  WindowMenu &menus = form->windowMenu();
  menus.saveAs->setVisible(true);
  menus.saveLarge->setVisible(true);
  menus.copy->setVisible(true);
  menus.pictureSeparator->setVisible(true);
  auto measure = [](QMenu *menu, const QString &name) {
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu, 20000));
    for (QAction *action : menu->actions()) {
      if (action->isSeparator() || !action->isVisible())
        continue;
      // The caption, clear of the check mark on the left and the submenu
      // arrow on the right.
      const QRect text = menu->actionGeometry(action).adjusted(20, 2, -24, -2);
      menu->setActiveAction(nullptr);
      ExpectReadable(menu->grab().toImage(), text, name + QLatin1Char(' ') + action->text());
      menu->setActiveAction(action);
      ExpectReadable(menu->grab().toImage(), text,
                     name + QLatin1Char(' ') + action->text() + QStringLiteral(", highlighted"));
    }
    menu->hide();
  };
  measure(menus.menu, QStringLiteral("menu"));
  measure(menus.options, QStringLiteral("options menu"));
  measure(menus.optionMenus[1], QStringLiteral("level menu"));
  measure(menus.about, QStringLiteral("about menu"));
}

TEST_F(ThemeContrastTest, Tooltips) {
  for (QWidget *owner : {static_cast<QWidget *>(Probe(*form).canvas()),
                         static_cast<QWidget *>(Probe(*form).minimiseButton())}) {
    const QPoint at = owner->mapToGlobal(QPoint(10, 10));
    QToolTip::showText(at, owner->toolTip(), owner);
    QWidget *tip = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          for (QWidget *w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible())
              tip = w;
          return tip != nullptr;
        },
        5000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tip, 5000));
    ExpectReadable(tip, QStringLiteral("tooltip ") + owner->objectName());
    QToolTip::hideText();
  }
}

TEST_F(ThemeContrastTest, MessageBoxTextAndButtons) {
  WhileOpen<QMessageBox>(
      [&] {
        form->services.dialogs.message(MessageIcon::Question, MessageButtons::YesNo,
                                       QStringLiteral("提示"),
                                       QStringLiteral("二维码保存成功！\r\n位置：/tmp/a.bmp"));
      },
      [](QMessageBox *box) {
        auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        ExpectReadable(label, QStringLiteral("message"), 0);
        for (QAbstractButton *button : box->buttons())
          ExpectReadable(button, QStringLiteral("message button ") + button->text());
      });
}

TEST_F(ThemeContrastTest, FileDialogLabelsListAndButtons) {
  for (const char *name : {"logo.png", "photo.jpg", "zz.bmp"}) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
  FileDialogRequest request{QStringLiteral("请选择您的Logo图片"), QString::fromUtf8(kLogoFilter), 3,
                            QStringLiteral("logo.png"), dir.path()};
  WhileOpen<QFileDialog>(
      [&] { form->services.dialogs.openFile(request); },
      [](QFileDialog *dialog) {
        auto *detail = dialog->findChild<QAbstractButton *>(QStringLiteral("detailModeButton"));
        if (detail)
          detail->click();
        auto *tree = dialog->findChild<QTreeView *>();
        ASSERT_NE(tree, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(tree->rootIndex()) >= 4; },
                                    10000));
        QTest::qWait(100);
        // The "Type" column holds text alone, no icon; one
        // row is selected (the name filled in), one not.
        const QImage view = tree->viewport()->grab().toImage();
        int rows = 0;
        for (int row = 0; row < tree->model()->rowCount(tree->rootIndex()); ++row) {
          const QModelIndex cell = tree->model()->index(row, 2, tree->rootIndex());
          const QRect r = tree->visualRect(cell).adjusted(2, 1, -2, -1);
          if (r.isEmpty())
            continue;
          ++rows;
          ExpectReadable(view, r,
                         QStringLiteral("file list ") + cell.data().toString() +
                             (tree->selectionModel()->isRowSelected(row, tree->rootIndex())
                                  ? QStringLiteral(", selected")
                                  : QString()));
        }
        EXPECT_GE(rows, 4);
        QHeaderView *header = tree->header();
        ExpectReadable(header->grab().toImage(),
                       QRect(header->sectionViewportPosition(0) + 4, 3, header->sectionSize(0) - 8,
                             header->height() - 6),
                       QStringLiteral("file list header"));
        for (QLabel *label : dialog->findChildren<QLabel *>())
          if (label->isVisible() && !label->text().isEmpty())
            ExpectReadable(label, QStringLiteral("label ") + label->text(), 0);
        for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
          if (edit->isVisible() && !edit->text().isEmpty())
            ExpectReadable(edit, QStringLiteral("name field"));
        for (QPushButton *button : dialog->findChildren<QPushButton *>())
          if (button->isVisible() && !button->text().isEmpty())
            ExpectReadable(button, QStringLiteral("dialog button ") + button->text());
      });
}

} // namespace
} // namespace zub
