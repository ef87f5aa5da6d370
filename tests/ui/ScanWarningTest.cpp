// The scan check's warning as the window shows it: plain first lines, the
// technical causes folded, buttons that name their actions, and the option
// that takes the code that scans without asking.
#include "Support.h"
#include "WindowProbe.h"

#include "MessageBytes.h"
#include "ScanCheck.h"
#include "TestSupport.h"
#include "VerdictWords.h"
#include "WindowMenu.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>

namespace zub {
namespace {

class ScanWarning : public FormTest {
protected:
  void SetUp() override {
    FormTest::SetUp();
    logo = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(test::SampleLogo().save(logo));
    form->services.dialogs.warning = [this](const WarningRequest &r) {
      warnings.push_back(r);
      return r.accept.isEmpty() ? MessageAnswer::Ok : answer;
    };
    form->services.dialogs.openFile = [this](const FileDialogRequest &) { return logoChoice; };
    LoadAndShow();
    defaultText =
        Probe(*form).messageEdit()->toPlainText(); // a code that scans with the sample logo
  }

  // Text, version and encoding positions as the lists hold them; the logo
  // through the dialog.
  void Generate(const QString &text, int version = 0, int encoding = 1, int level = 1) {
    Probe(*form).messageEdit()->setPlainText(text);
    Probe(*form).optionLists()[0]->setCurrentIndex(version);
    Probe(*form).optionLists()[1]->setCurrentIndex(level);
    Probe(*form).optionLists()[3]->setCurrentIndex(encoding);
    logoChoice = logo;
    QSignalSpy finished(form.get(), &MainWindow::generationFinished);
    QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton);
    ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  }

  bool ZbarShowsTheText(const QString &text) const {
    const QImage shown = Probe(*form).saveBox()->backgroundPicture();
    return ReadWithZbar(shown, MessageBytes(text, TextEncoding::Utf8), text).Exact();
  }

  QString logo, defaultText;
  std::optional<QString> logoChoice;
  std::vector<WarningRequest> warnings;
  MessageAnswer answer = MessageAnswer::No;
};

// Fills version 40 at level L: no other version or level holds it.
const QString kLongText(2900, QLatin1Char('z'));

// Every kind of warning: an offer (text shown garbled, or a code some
// readers do not find), nothing that scans, a check that could not run.
// Its first lines name no reader, codeword, module or character set and
// use full-width punctuation; the details hold the technical causes.
TEST_F(ScanWarning, FirstLinesSpeakPlainlyTheDetailsNameTheCauses) {
  struct Case {
    const char *what;
    QString text;
    int version, encoding;
    bool readersMissing;
    const char *firstLine; // what someone scanning meets
    const char *inDetails; // one technical cause
    bool offer;
  } const cases[] = {
      {"ANSI text read as another character set", QStringLiteral("中文"), 0, 0, false,
       "有些扫码软件会把文字显示成乱码。", "乱码", true},
      {"a short everyday text one reader guesses wrong", QStringLiteral("中国"), 0, 1, false,
       "有些扫码软件会把文字显示成乱码。", "Shift JIS", true},
      {"modules too thin for every reader", kLongText, 40, 1, false,
       "有些手机扫不出这个二维码；二维码的点也太小。", "二维码的点只有", false},
      {"readers missing", QStringLiteral("中国"), 0, 1, true, "无法检查这个二维码能否被手机扫出",
       "zubqr-readers.so", false},
  };
  const char *const technical[] = {"zbar", "zxing", "wechat", "ECI", "码字", "模块", "Shift JIS"};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    warnings.clear();
    messages.clear();
    {
      std::optional<ReadersMissingForTest> missing;
      if (c.readersMissing)
        missing.emplace(
            ReadersProblem{"zubqr-readers.so", {"/opt/zub/zubqr-readers.so"}, {}, {}, false});
      Generate(c.text, c.version, c.encoding, c.text == kLongText ? 0 : 1);
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(messages.empty());
    const WarningRequest &w = warnings[0];
    const QStringList lines = w.text.split(QLatin1Char('\n'));
    EXPECT_LE(lines.size(), 2);
    EXPECT_TRUE(lines.first().startsWith(QString::fromUtf8(c.firstLine))) << w.text.toStdString();
    for (const char *word : technical)
      EXPECT_FALSE(w.text.contains(QString::fromUtf8(word), Qt::CaseInsensitive))
          << word << " in " << w.text.toStdString();
    for (QChar halfWidth : QStringLiteral("?!,;:"))
      EXPECT_FALSE(w.text.contains(halfWidth)) << w.text.toStdString();
    EXPECT_TRUE(w.details.contains(QString::fromUtf8(c.inDetails))) << w.details.toStdString();
    EXPECT_EQ(!w.accept.isEmpty(), c.offer);
    if (c.offer) {
      EXPECT_EQ(w.accept, QStringLiteral("改用推荐设置"));
      EXPECT_EQ(w.keep, QStringLiteral("保留当前二维码"));
      // The change in the words of the option lists.
      EXPECT_TRUE(lines.last().startsWith(QStringLiteral("建议改用推荐设置：")))
          << w.text.toStdString();
      bool named = false;
      for (const QComboBox *list : Probe(*form).optionLists())
        for (int k = 0; k < list->count(); ++k)
          named = named ||
                  lines.last().contains(QStringLiteral("“") + OptionShownText(list->itemText(k)) +
                                        QStringLiteral("”"));
      EXPECT_TRUE(named) << w.text.toStdString();
    }
  }
}

// The real message box: the details folded under "显示详细信息", the two
// buttons named by what they do; the first answers Yes, the second and Esc
// answer No.
TEST_F(ScanWarning, TheBoxNamesItsButtonsAndEscKeepsTheCode) {
  const WarningRequest request{MessageIcon::Exclamation,
                               QStringLiteral("提示"),
                               QStringLiteral("有些手机扫不出这个二维码。"),
                               QStringLiteral("读码器zbar读不出这个二维码。"),
                               QStringLiteral("改用推荐设置"),
                               QStringLiteral("保留当前二维码")};
  const Dialogs real = Dialogs::Qt(form.get());
  enum class Act { Take, Keep, Escape };
  for (Act act : {Act::Take, Act::Keep, Act::Escape}) {
    QStringList buttons;
    QString detailed, text;
    bool acted = false;
    // Acts on the box once it is up, from inside its own event loop.
    std::function<void()> actOnBox = [&] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (!box) {
        QTimer::singleShot(10, actOnBox);
        return;
      }
      for (QAbstractButton *b : box->findChildren<QAbstractButton *>())
        buttons << b->text();
      detailed = box->detailedText();
      text = box->text();
      acted = true;
      if (act == Act::Escape) {
        QTest::keyClick(box, Qt::Key_Escape);
        return;
      }
      for (QAbstractButton *b : box->buttons())
        if (b->text() == (act == Act::Take ? request.accept : request.keep))
          b->click();
    };
    QTimer::singleShot(0, actOnBox);
    const MessageAnswer answered = real.Warn(request);
    ASSERT_TRUE(acted);
    EXPECT_EQ(answered, act == Act::Take ? MessageAnswer::Yes : MessageAnswer::No);
    EXPECT_TRUE(buttons.contains(QStringLiteral("改用推荐设置")))
        << buttons.join('|').toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("保留当前二维码")));
    EXPECT_TRUE(buttons.contains(QStringLiteral("显示详细信息")))
        << buttons.join('|').toStdString();
    EXPECT_EQ(detailed, request.details);
    EXPECT_EQ(text, request.text);
  }
}

// 改用: the lists and the canvas take the code that scans, and a note under
// it and the canvas's tooltip say what changed; 保留: nothing changes and
// nothing is noted.
TEST_F(ScanWarning, TakingTheOfferSaysWhatChanged) {
  const QString text = QStringLiteral("中文");
  Generate(text, 0, 0);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(Probe(*form).changeNoteLabel()->isHidden());
  EXPECT_EQ(Probe(*form).optionLists()[3]->currentIndex(), 0);

  warnings.clear();
  answer = MessageAnswer::Yes;
  Generate(text, 0, 0);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(Probe(*form).optionLists()[3]->currentText(), QStringLiteral("UTF-8"));
  EXPECT_TRUE(ZbarShowsTheText(text));
  EXPECT_FALSE(Probe(*form).changeNoteLabel()->isHidden());
  EXPECT_EQ(Probe(*form).changeNoteLabel()->text(),
            QStringLiteral("已改用推荐设置：文字编码“UTF-8”，扫码更可靠。"));
  EXPECT_TRUE(Probe(*form).canvas()->toolTip().contains(Probe(*form).changeNoteLabel()->text()))
      << Probe(*form).canvas()->toolTip().toStdString();
  EXPECT_TRUE(Probe(*form).canvas()->toolTip().contains(QStringLiteral("文字编码：UTF-8")));

  // The next generation starts without the note.
  warnings.clear();
  Generate(defaultText, 0, 1);
  EXPECT_TRUE(warnings.empty());
  EXPECT_TRUE(Probe(*form).changeNoteLabel()->isHidden());
  EXPECT_FALSE(Probe(*form).canvas()->toolTip().contains(QStringLiteral("已改用")));
}

// "总是使用容易扫描的设置": off at first; on, a failing code is replaced by the
// first candidate that passes without a question, and the note says so;
// when none passes the warning comes as before. The choice is remembered.
TEST_F(ScanWarning, AlwaysReadableTakesTheCodeThatScansUnasked) {
  QAction *option = form->windowMenu().alwaysReadable;
  ASSERT_TRUE(form->windowMenu().options->actions().contains(option));
  EXPECT_EQ(option->text(), QStringLiteral("总是使用容易扫描的设置"));
  EXPECT_FALSE(option->isChecked());
  EXPECT_FALSE(form->alwaysReadable());
  option->trigger();
  EXPECT_TRUE(form->alwaysReadable());
  EXPECT_EQ(stored("AlwaysReadable"), QStringLiteral("1"));

  const QString text = QStringLiteral("中文");
  Generate(text, 0, 0);
  EXPECT_TRUE(warnings.empty());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Probe(*form).optionLists()[3]->currentText(), QStringLiteral("UTF-8"));
  EXPECT_TRUE(ZbarShowsTheText(text));
  EXPECT_TRUE(ReadsBack(Probe(*form).saveBox()->backgroundPicture(),
                        MessageBytes(text, TextEncoding::Utf8)));
  EXPECT_EQ(Probe(*form).changeNoteLabel()->text(),
            QStringLiteral("已改用推荐设置：文字编码“UTF-8”，扫码更可靠。"));
  EXPECT_FALSE(Probe(*form).changeNoteLabel()->isHidden());
  EXPECT_FALSE(form->stale());

  // Nothing passes: the warning, as without the option.
  Generate(kLongText, 40, 1, 0);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].accept.isEmpty());
  EXPECT_TRUE(Probe(*form).changeNoteLabel()->isHidden());

  // Remembered: a window started afterwards has it on, and off again once
  // turned off.
  {
    MainWindow next;
    next.services = form->services;
    next.services.pageAddress = QUrl();
    SingleInstance lock(dir.filePath(QStringLiteral("next lock")));
    ASSERT_TRUE(next.load(lock));
    EXPECT_TRUE(next.alwaysReadable());
    EXPECT_TRUE(next.windowMenu().alwaysReadable->isChecked());
    next.windowMenu().alwaysReadable->trigger();
    EXPECT_FALSE(next.alwaysReadable());
  }
  EXPECT_EQ(stored("AlwaysReadable"), QStringLiteral("0"));
}

} // namespace
} // namespace zub
