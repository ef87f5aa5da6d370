// What the window offers around the main road: the busy state, a code that
// no longer matches the text, the options menu, copy, drop, a code without a
// logo, the keys, and the text taken exactly as typed.
#include "Composite.h"
#include "LogoImage.h"
#include "MainWindow.h"
#include "MessageBytes.h"
#include "ScanCheck.h"
#include "ScriptedWindow.h"
#include "SingleInstance.h"
#include "TestSupport.h"
#include "VerdictWords.h"
#include "WindowMenu.h"
#include "WindowProbe.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace zub {
namespace {

using test::Shown;

class WindowCommands : public test::ShownWindow {
protected:
  // Runs `start` and waits until the generation it began has reported.
  void Finish(const std::function<void()> &start) { test::FinishGeneration(*form, start); }

  void Generate(const QString &text) {
    Probe(*form).messageEdit()->setPlainText(text);
    logoChoice = logo;
    Finish([this] { QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton); });
  }

  QImage Composite() const {
    return Probe(*form).saveBox()->backgroundPicture().convertToFormat(QImage::Format_RGB32);
  }

  static QImage Expected(const QString &text, const QString &logoPath) {
    const std::vector<std::uint8_t> message = MessageBytes(text, TextEncoding::Utf8);
    QrEncoder encoder;
    return ComposeQRPicture(encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 0,
                                               2, -1, KanjiMode::Excluded),
                            logoPath.isEmpty() ? QImage() : LoadLogo(logoPath).image);
  }

  static std::vector<std::uint8_t> Read(const QImage &image) {
    const std::vector<test::Decoded> found = test::DecodeAll(image);
    return found.size() == 1 ? found[0].bytes : std::vector<std::uint8_t>{};
  }

  bool MarkShown() const { return Probe(*form).canvasMark()->isVisible(); }
};

// While the work runs, the window shows it and refuses, with a word, what
// would use the code that is not there yet.
TEST_F(WindowCommands, BusyWindowRefusesGeneratingSavingAndCopyingAloud) {
  Generate(QStringLiteral("earlier code"));
  Probe(*form).messageEdit()->setPlainText(QStringLiteral("new text"));
  logoChoice = logo;
  QSignalSpy finished(form.get(), &MainWindow::generationFinished);
  QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton);
  ASSERT_TRUE(form->generating());
  EXPECT_FALSE(Probe(*form).generateButton()->isEnabled());
  EXPECT_FALSE(Probe(*form).saveButton()->isEnabled());
  EXPECT_TRUE(MarkShown());
  EXPECT_EQ(Probe(*form).canvasMark()->text(), QStringLiteral("正在生成二维码…"));

  messages.clear();
  saveChoice = dir.filePath(QStringLiteral("during.png"));
  const struct {
    const char *what;
    std::function<void()> command;
    const char *message;
  } refused[] = {
      {"save (Ctrl+S, the menu)", [this] { form->save(); },
       "正在生成二维码，请等生成结束后再保存。"},
      {"generate (Ctrl+Enter)", [this] { form->generateWithLogoDialog(); },
       "正在生成二维码，请稍候。"},
      {"without a logo", [this] { form->generateWithoutLogo(); }, "正在生成二维码，请稍候。"},
      {"a dropped logo", [this] { form->generateWithLogo(logo); }, "正在生成二维码，请稍候。"},
      {"copy", [this] { form->copyPicture(); }, "正在生成二维码，请等生成结束后再复制。"},
  };
  for (const auto &r : refused) {
    SCOPED_TRACE(r.what);
    messages.clear();
    r.command();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QString::fromUtf8(r.message));
    EXPECT_EQ(messages[0].title, QStringLiteral("提示"));
  }
  EXPECT_EQ(openRequests.size(), 2u); // the two clicks that were not refused
  EXPECT_TRUE(saveRequests.empty());
  EXPECT_FALSE(QFile::exists(*saveChoice));

  ASSERT_TRUE(finished.wait(60000));
  EXPECT_EQ(finished.count(), 1);
  EXPECT_TRUE(Probe(*form).generateButton()->isEnabled());
  EXPECT_TRUE(Probe(*form).saveButton()->isEnabled());
  EXPECT_FALSE(MarkShown());
  EXPECT_EQ(Read(Composite()), test::BytesOf("new text"));
}

TEST_F(WindowCommands, ClosingDuringAGenerationHidesTheWindowAtOnce) {
  Probe(*form).messageEdit()->setPlainText(QString(1500, QLatin1Char('z')));
  Probe(*form).optionLists()[0]->setCurrentIndex(40);
  logoChoice = logo;
  QSignalSpy finished(form.get(), &MainWindow::generationFinished);
  QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton);
  ASSERT_TRUE(form->generating());
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(quits, 1);
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowCommands, CodeOfAnEarlierTextIsMarkedAndSavedOnlyWhenTheUserSaysSo) {
  Generate(QStringLiteral("first"));
  EXPECT_FALSE(form->stale());
  EXPECT_FALSE(MarkShown());

  const struct {
    const char *what;
    std::function<void()> change, undo;
  } changes[] = {
      {"text", [this] { Probe(*form).messageEdit()->setPlainText(QStringLiteral("second")); },
       [this] { Probe(*form).messageEdit()->setPlainText(QStringLiteral("first")); }},
      {"version", [this] { Probe(*form).optionLists()[0]->setCurrentIndex(5); },
       [this] { Probe(*form).optionLists()[0]->setCurrentIndex(0); }},
      {"level", [this] { Probe(*form).optionLists()[1]->setCurrentIndex(3); },
       [this] { Probe(*form).optionLists()[1]->setCurrentIndex(1); }},
      {"mask", [this] { Probe(*form).optionLists()[2]->setCurrentIndex(4); },
       [this] { Probe(*form).optionLists()[2]->setCurrentIndex(0); }},
      {"encoding", [this] { Probe(*form).optionLists()[3]->setCurrentIndex(0); },
       [this] { Probe(*form).optionLists()[3]->setCurrentIndex(1); }},
  };
  for (const auto &c : changes) {
    SCOPED_TRACE(c.what);
    c.change();
    EXPECT_TRUE(form->stale());
    EXPECT_TRUE(MarkShown());
    EXPECT_EQ(Probe(*form).canvasMark()->text(), QStringLiteral("内容已修改，请重新生成"));
    c.undo();
    EXPECT_FALSE(form->stale());
    EXPECT_FALSE(MarkShown());
  }

  Probe(*form).messageEdit()->setPlainText(QStringLiteral("second"));
  saveChoice = dir.filePath(QStringLiteral("old.png"));
  // "No": nothing is asked further, nothing written.
  messages.clear();
  form->save();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(messages[0].icon, MessageIcon::Question);
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("修改前的二维码")));
  EXPECT_TRUE(saveRequests.empty());
  EXPECT_FALSE(QFile::exists(*saveChoice));
  // "Yes": asked once, then saved as usual: the earlier code.
  messages.clear();
  answer = MessageAnswer::Yes;
  form->save();
  EXPECT_EQ(saveRequests.size(), 1u);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[1].text.startsWith(QStringLiteral("二维码保存成功！")));
  EXPECT_EQ(Read(QImage(*saveChoice)), test::BytesOf("first"));

  // Generating again brings canvas and text together: no question.
  Generate(QStringLiteral("second"));
  EXPECT_FALSE(MarkShown());
  messages.clear();
  form->save();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("二维码保存成功！")));
  EXPECT_EQ(Read(QImage(*saveChoice)), test::BytesOf("second"));
}

TEST_F(WindowCommands, TextIsEncodedExactlyAsTyped) {
  // A no-break space, a line break, a tab, a trailing space.
  const QString typed = QStringLiteral("a\u00A0b\nc\td ");
  Generate(typed);
  EXPECT_EQ(Read(Composite()), test::BytesOf("a\xC2\xA0"
                                             "b\nc\td "));
  EXPECT_EQ(form->messageText(), typed);
}

TEST_F(WindowCommands, OptionsMenuAndTheListsFollowEachOther) {
  WindowMenu &menus = form->windowMenu();
  const QStringList titles = {QStringLiteral("版本"), QStringLiteral("纠错等级"),
                              QStringLiteral("掩码"), QStringLiteral("文字编码")};
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    QMenu *menu = menus.optionMenus[i];
    const QComboBox *list = Probe(*form).optionLists()[i];
    EXPECT_EQ(menu->title(), titles[static_cast<qsizetype>(i)]);
    ASSERT_EQ(menu->actions().size(), list->count());
    for (int k = 0; k < list->count(); ++k) {
      // Our own menus speak Chinese; the lists keep their historic items.
      EXPECT_EQ(menu->actions()[k]->text(), list->itemText(k) == QLatin1String("Automatic")
                                                ? QStringLiteral("自动")
                                                : list->itemText(k));
      EXPECT_EQ(menu->actions()[k]->isChecked(), k == list->currentIndex());
    }
  }
  // Menu to list.
  menus.optionMenus[1]->actions()[3]->trigger();
  EXPECT_EQ(Probe(*form).optionLists()[1]->currentIndex(), 3);
  EXPECT_FALSE(menus.optionMenus[1]->actions()[1]->isChecked());
  // List to menu.
  Probe(*form).optionLists()[3]->setCurrentIndex(0);
  EXPECT_TRUE(menus.optionMenus[3]->actions()[0]->isChecked());
  EXPECT_FALSE(menus.optionMenus[3]->actions()[1]->isChecked());
  Probe(*form).optionLists()[0]->setCurrentIndex(7);
  EXPECT_TRUE(menus.optionMenus[0]->actions()[7]->isChecked());

  EXPECT_EQ(Probe(*form).canvas()->toolTip(),
            QStringLiteral("版本：7\n纠错等级：H - 30%\n掩码：自动\n文字编码：ANSI"));

  // What the menu chose is what the code is made with.
  Probe(*form).optionLists()[3]->setCurrentIndex(1);
  menus.optionMenus[1]->actions()[0]->trigger(); // L
  menus.optionMenus[0]->actions()[2]->trigger(); // version 2
  Generate(QStringLiteral("menu options"));
  const std::vector<std::uint8_t> message =
      MessageBytes(QStringLiteral("menu options"), TextEncoding::Utf8);
  QrEncoder encoder;
  EXPECT_EQ(Composite(),
            ComposeQRPicture(encoder.MakeSymbol(message.data(), static_cast<int>(message.size()), 2,
                                                1, -1, KanjiMode::Excluded),
                             LoadLogo(logo).image));

  // The options are one value: both lists and menus show it, and setting it
  // moves them, the tooltip and the mark of a code made otherwise.
  EXPECT_EQ(form->options().version, 2);
  EXPECT_EQ(form->options().ecLevel, kLevelL);
  EXPECT_FALSE(form->stale());
  CodeOptions chosen = form->options();
  chosen.mask = 5;
  chosen.eci = 26;
  form->setOptions(chosen);
  EXPECT_EQ(Probe(*form).optionLists()[2]->currentIndex(), 6);
  EXPECT_EQ(Probe(*form).optionLists()[3]->currentIndex(), 2);
  EXPECT_TRUE(menus.optionMenus[2]->actions()[6]->isChecked());
  EXPECT_TRUE(menus.optionMenus[3]->actions()[2]->isChecked());
  EXPECT_EQ(Probe(*form).canvas()->toolTip(),
            QStringLiteral("版本：2\n纠错等级：L - 7%\n掩码：5\n文字编码：UTF-8（注明编码）"));
  EXPECT_TRUE(form->stale());
  Generate(QStringLiteral("menu options"));
  ASSERT_NE(form->shownCode(), nullptr);
  EXPECT_EQ(form->shownCode()->options, chosen);
  EXPECT_EQ(form->shownCode()->picture.facts().mask, 5);
}

TEST_F(WindowCommands, CopyPutsTheCompositeOnTheClipboard) {
  QGuiApplication::clipboard()->clear();
  form->copyPicture();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QStringLiteral("当前尚未生成二维码信息哦！"));
  EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());

  Generate(QStringLiteral("copied"));
  // Ctrl+C over the canvas.
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  Probe(*form).canvas()->setFocus();
  QTest::keyClick(Probe(*form).canvas(), Qt::Key_C, Qt::ControlModifier);
  QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(copied, Composite());
  EXPECT_EQ(Read(copied), test::BytesOf("copied"));

  // The picture menu's entry.
  QGuiApplication::clipboard()->clear();
  form->windowMenu().copy->trigger();
  copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(Read(copied), test::BytesOf("copied"));
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(WindowCommands, LogoFileDroppedOnTheCanvasGeneratesWithIt) {
  // Long enough that the logo covers little of the code.
  const QString typed = QStringLiteral("dropped on the canvas: https://example.org/a/longer/path");
  Probe(*form).messageEdit()->setPlainText(typed);
  auto drop = [this](const QList<QUrl> &urls, QWidget *target) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
      return false;
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
  };
  // Not a single local file: refused at the door.
  EXPECT_FALSE(drop({QUrl(QStringLiteral("https://example.org/logo.png"))}, Probe(*form).canvas()));
  EXPECT_FALSE(drop({QUrl::fromLocalFile(logo), QUrl::fromLocalFile(logo)}, Probe(*form).canvas()));

  Finish([&] { EXPECT_TRUE(drop({QUrl::fromLocalFile(logo)}, Probe(*form).canvas())); });
  EXPECT_TRUE(openRequests.empty());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Composite(), Expected(typed, logo));

  // A file that is no picture: the same message as through the dialog.
  const QString text = dir.filePath(QStringLiteral("notes.txt"));
  QFile notes(text);
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  notes.write("not a picture");
  notes.close();
  Finish([&] { EXPECT_TRUE(drop({QUrl::fromLocalFile(text)}, Probe(*form).canvas())); });
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.endsWith(QStringLiteral("二维码已生成，但没有加上Logo。")));
  EXPECT_EQ(Composite(), Expected(typed, QString()));
}

TEST_F(WindowCommands, CodeWithoutALogoIsSavedCopiedAndCheckedLikeAnyOther) {
  Probe(*form).messageEdit()->setPlainText(QStringLiteral("no logo"));
  Finish([this] { form->windowMenu().noLogo->trigger(); });
  EXPECT_TRUE(openRequests.empty());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Composite(), Expected(QStringLiteral("no logo"), QString()));
  EXPECT_TRUE(Probe(*form).logoHolder()->picture().isNull());

  saveChoice = dir.filePath(QStringLiteral("plain.png"));
  form->save();
  EXPECT_EQ(QImage(*saveChoice).convertToFormat(QImage::Format_RGB32), Composite());
  form->copyPicture();
  EXPECT_EQ(Read(QGuiApplication::clipboard()->image()), test::BytesOf("no logo"));
}

// Without its readers the window cannot check the code: it says so once,
// plainly, offers nothing, and the code is saved as any other. The text is
// one that fails the check when it runs (zbar shows it as Shift JIS).
TEST_F(WindowCommands, CodeThatCouldNotBeCheckedIsSaidSoAndStaysSaveable) {
  const ReadersProblem problem{"zubqr-readers.so",
                               {"/opt/zub/bin/zubqr-readers.so", "/opt/zub/lib/zubqr-readers.so"},
                               {},
                               {},
                               false};
  {
    const ReadersMissingForTest missing(problem);
    Generate(QStringLiteral("中国"));
  }
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
  ScanReport unchecked;
  unchecked.checked = false;
  unchecked.notChecked = problem;
  const VerdictWords words = NotCheckedWords(unchecked);
  EXPECT_EQ(messages[0].text, words.text + QStringLiteral("\n\n") + words.details);
  EXPECT_TRUE(words.details.contains(QStringLiteral("/opt/zub/lib/zubqr-readers.so")));
  EXPECT_TRUE(form->lastRemedySearch().tried.empty());
  EXPECT_EQ(Composite(), Expected(QStringLiteral("中国"), logo)); // the options as chosen

  messages.clear();
  saveChoice = dir.filePath(QStringLiteral("unchecked.png"));
  form->save();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("二维码保存成功！")));
  EXPECT_EQ(Read(QImage(*saveChoice)), MessageBytes(QStringLiteral("中国"), TextEncoding::Utf8));
}

TEST_F(WindowCommands, KeysGenerateAndSave) {
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  EXPECT_EQ(QApplication::focusWidget(), Probe(*form).messageEdit());
  Probe(*form).messageEdit()->setPlainText(QStringLiteral("keys"));
  logoChoice = logo;
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    openRequests.clear();
    Finish([&] { QTest::keyClick(Probe(*form).messageEdit(), key, Qt::ControlModifier); });
    EXPECT_EQ(openRequests.size(), 1u);
    EXPECT_EQ(Probe(*form).messageEdit()->toPlainText(), QStringLiteral("keys")); // no line added
  }
  EXPECT_EQ(Read(Composite()), test::BytesOf("keys"));
  saveChoice = dir.filePath(QStringLiteral("keys.bmp"));
  QTest::keyClick(Probe(*form).messageEdit(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(saveRequests.size(), 1u);
  EXPECT_EQ(Read(QImage(*saveChoice)), test::BytesOf("keys"));
}

TEST_F(WindowCommands, VisibleControlsHaveChineseAccessibleNames) {
  const struct {
    QWidget *control;
    const char *name;
  } rows[] = {
      {Probe(*form).messageEdit(), "二维码内容"}, {Probe(*form).generateButton(), "生成二维码"},
      {Probe(*form).saveButton(), "保存二维码"},  {Probe(*form).minimiseButton(), "最小化"},
      {Probe(*form).menuButton(), "菜单"},        {Probe(*form).closeButton(), "关闭"},
      {Probe(*form).canvas(), "二维码"}};
  for (const auto &row : rows)
    EXPECT_EQ(row.control->accessibleName(), QString::fromUtf8(row.name))
        << row.control->objectName().toStdString();
}

TEST_F(WindowCommands, DefaultLogoShowsItsTransparencyOverTheBoxColour) {
  const QImage box = Probe(*form).logoBox()->image();
  const QRgb colour = Probe(*form).logoBox()->backgroundColor().rgb();
  // The default logo's corners are transparent.
  EXPECT_EQ(box.pixel(0, 0), colour);
  EXPECT_EQ(box.pixel(63, 0), colour);
  EXPECT_EQ(box.pixel(0, 63), colour);
  EXPECT_EQ(box.pixel(63, 63), colour);
}

} // namespace
} // namespace zub
