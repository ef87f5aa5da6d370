// "插入…": the dialog of forms, driven through its fields, fills the text
// box with the exact text of the form; it checks the fields as they are
// typed, keeps nothing, and leaves the text box alone when cancelled.
#include "FormDialog.h"
#include "ScriptedWindow.h"
#include "WindowMenu.h"
#include "WindowProbe.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDirIterator>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace zub {
namespace {

using Fill = std::function<void(FormDialog &)>;

// Types `text` into `field` as a user does: Latin letters key by key, the
// rest committed by the input method, as a Chinese one commits characters.
void Type(QWidget *field, const QString &text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(field, c.toLatin1());
    } else {
      QInputMethodEvent commit;
      commit.setCommitString(QString(c));
      QApplication::sendEvent(field, &commit);
    }
  }
}

class InsertForm : public test::ShownWindow {
protected:
  // Opens the dialog from the menu, lets `fill` type into it, and clicks
  // "插入" when it may be clicked (else closes the dialog).
  void Insert(const Fill &fill) {
    duringDialog = [fill](QDialog &shown) {
      auto &dialog = dynamic_cast<FormDialog &>(shown);
      dialog.show();
      EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
      fill(dialog);
      if (dialog.insertButton->isEnabled())
        QTest::mouseClick(dialog.insertButton, Qt::LeftButton);
      else
        dialog.reject();
      return dialog.result();
    };
    form->windowMenu().insertForm->trigger();
  }

  static void Choose(FormDialog &dialog, FormDialog::Kind kind) {
    dialog.kinds->setCurrentRow(kind);
  }

  QString Text() const { return form->messageText(); }
};

TEST_F(InsertForm, EachKindFillsTheTextBoxWithItsExactText) {
  struct Case {
    const char *what;
    Fill fill;
    QString text;
  } const cases[] = {
      {"Wi-Fi, every special character",
       [](FormDialog &d) {
         Type(d.wifi.name, QStringLiteral("咖啡;店 \"Bar\""));
         Type(d.wifi.password, QStringLiteral("p:w\\d,1234"));
       },
       QStringLiteral(R"(WIFI:T:WPA;S:咖啡\;店 \"Bar\";P:p\:w\\d\,1234;;)")},
      {"an open, hidden network: what the password field held is left out",
       [](FormDialog &d) {
         Type(d.wifi.name, QStringLiteral("Open"));
         Type(d.wifi.password, QStringLiteral("typed first"));
         d.wifi.security->setCurrentIndex(2);
         d.wifi.hidden->setChecked(true);
         EXPECT_FALSE(d.wifi.password->isEnabled());
       },
       QStringLiteral("WIFI:T:nopass;S:Open;H:true;;")},
      {"a WEP network",
       [](FormDialog &d) {
         Type(d.wifi.name, QStringLiteral("Old"));
         d.wifi.security->setCurrentIndex(1);
         Type(d.wifi.password, QStringLiteral("abcde"));
       },
       QStringLiteral("WIFI:T:WEP;S:Old;P:abcde;;")},
      {"a short contact card",
       [](FormDialog &d) {
         Choose(d, FormDialog::Contact);
         Type(d.contact.name, QStringLiteral("王小明"));
         Type(d.contact.phone, QStringLiteral("138 0013 8000"));
         Type(d.contact.email, QStringLiteral("wang:x@example.com"));
       },
       QStringLiteral(R"(MECARD:N:王小明;TEL:13800138000;EMAIL:wang\:x@example.com;;)")},
      {"a vCard",
       [](FormDialog &d) {
         Choose(d, FormDialog::Contact);
         Type(d.contact.name, QStringLiteral("Li, Lei"));
         Type(d.contact.organisation, QStringLiteral("北京;分部"));
         Type(d.contact.note, QStringLiteral("a\\b"));
       },
       QStringLiteral("BEGIN:VCARD\nVERSION:3.0\nN:Li\\, Lei\nFN:Li\\, Lei\nORG:北京\\;分部\n"
                      "NOTE:a\\\\b\nEND:VCARD")},
      {"a phone number",
       [](FormDialog &d) {
         Choose(d, FormDialog::Phone);
         Type(d.phoneNumber, QStringLiteral("*100#"));
       },
       QStringLiteral("tel:*100%23")},
      {"a text message of two lines",
       [](FormDialog &d) {
         Choose(d, FormDialog::Sms);
         Type(d.sms.number, QStringLiteral("10086"));
         d.sms.message->setPlainText(QStringLiteral("到了吗？\n3:30 见"));
       },
       QStringLiteral("SMSTO:10086:到了吗？\n3:30 见")},
      {"a mail",
       [](FormDialog &d) {
         Choose(d, FormDialog::Mail);
         Type(d.mail.address, QStringLiteral("li+lei@example.com"));
         Type(d.mail.subject, QStringLiteral("你好 & \"hi\""));
         d.mail.body->setPlainText(QStringLiteral("a=1\nb"));
       },
       QStringLiteral("mailto:li%2Blei@example.com?subject=%E4%BD%A0%E5%A5%BD%20%26%20%22hi%22&"
                      "body=a%3D1%0D%0Ab")},
      {"a place",
       [](FormDialog &d) {
         Choose(d, FormDialog::Place);
         Type(d.place.latitude, QStringLiteral("39.9087"));
         Type(d.place.longitude, QStringLiteral("+116.3975"));
       },
       QStringLiteral("geo:39.9087,116.3975")},
      {"an event",
       [](FormDialog &d) {
         Choose(d, FormDialog::Event);
         Type(d.event.title, QStringLiteral("年会; 抽奖"));
         d.event.start->setDateTime(QDateTime(QDate(2026, 12, 10), QTime(18, 0)));
         d.event.end->setDateTime(QDateTime(QDate(2026, 12, 10), QTime(21, 30)));
         Type(d.event.location, QStringLiteral("3, Park Road"));
       },
       QStringLiteral("BEGIN:VEVENT\nSUMMARY:年会\\; 抽奖\nDTSTART:20261210T180000\n"
                      "DTEND:20261210T213000\nLOCATION:3\\, Park Road\nEND:VEVENT")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Probe(*form).messageEdit()->setPlainText(QStringLiteral("before"));
    Insert(c.fill);
    EXPECT_EQ(Text(), c.text);
  }
  EXPECT_EQ(dialogsRun, static_cast<int>(std::size(cases)));
}

// Each field is checked as it is typed: the first problem in plain Chinese,
// "插入" greyed until there is none, the text shown once there is.
TEST_F(InsertForm, FieldsAreCheckedAsTyped) {
  const QString before = Text();
  Insert([](FormDialog &d) {
    EXPECT_EQ(d.problem->text(), QStringLiteral("请填写网络名称。"));
    EXPECT_FALSE(d.insertButton->isEnabled());
    Type(d.wifi.name, QStringLiteral("家"));
    EXPECT_EQ(d.problem->text(), QStringLiteral("WPA 和 WEP 网络需要密码。"));
    Type(d.wifi.password, QStringLiteral("1234567"));
    EXPECT_EQ(d.problem->text(), QStringLiteral("WPA 密码至少要 8 个字符。"));
    EXPECT_TRUE(d.preview->toPlainText().isEmpty());
    Type(d.wifi.password, QStringLiteral("8"));
    EXPECT_TRUE(d.problem->text().isEmpty());
    EXPECT_TRUE(d.insertButton->isEnabled());
    EXPECT_EQ(d.preview->toPlainText(), QStringLiteral("WIFI:T:WPA;S:家;P:12345678;;"));

    Choose(d, FormDialog::Place);
    EXPECT_FALSE(d.insertButton->isEnabled()) << "each kind is checked on its own";
    Type(d.place.latitude, QStringLiteral("91"));
    EXPECT_EQ(d.problem->text(), QStringLiteral("纬度应在 -90 到 90 之间。"));
    QTest::keyClick(d.place.latitude, Qt::Key_Backspace);
    EXPECT_EQ(d.problem->text(), QStringLiteral("经度应是十进制数，例如 116.3975。"));
    Type(d.place.longitude, QStringLiteral("1"));
    EXPECT_TRUE(d.insertButton->isEnabled());
    EXPECT_EQ(d.preview->toPlainText(), QStringLiteral("geo:9,1"));

    Choose(d, FormDialog::Event);
    Type(d.event.title, QStringLiteral("t"));
    d.event.start->setDateTime(QDateTime(QDate(2026, 12, 10), QTime(10, 0)));
    d.event.end->setDateTime(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
    EXPECT_EQ(d.problem->text(), QStringLiteral("结束时间早于开始时间。"));
    EXPECT_FALSE(d.insertButton->isEnabled());
  });
  EXPECT_EQ(Text(), before) << "the form shown last could not be inserted";
}

// Cancelling changes nothing; an insertion is one step Ctrl+Z takes back.
TEST_F(InsertForm, NothingTypedIsLost) {
  Probe(*form).messageEdit()->setPlainText(QStringLiteral("my text"));
  Insert([](FormDialog &d) {
    Type(d.wifi.name, QStringLiteral("n"));
    d.reject();
  });
  EXPECT_EQ(Text(), QStringLiteral("my text"));
  Insert([](FormDialog &d) {
    Choose(d, FormDialog::Phone);
    Type(d.phoneNumber, QStringLiteral("110"));
  });
  EXPECT_EQ(Text(), QStringLiteral("tel:110"));
  QTest::keyClick(Probe(*form).messageEdit(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), QStringLiteral("my text"));
}

// A text beyond ASCII goes out as UTF-8: under ANSI the window switches
// and says so; a plain ASCII text leaves the choice alone.
TEST_F(InsertForm, ChineseContentSwitchesAnsiToUtf8) {
  CodeOptions ansi = form->options();
  ansi.encoding = TextEncoding::Ansi;
  form->setOptions(ansi);
  Insert([](FormDialog &d) {
    Choose(d, FormDialog::Phone);
    Type(d.phoneNumber, QStringLiteral("110"));
  });
  EXPECT_EQ(form->options().encoding, TextEncoding::Ansi);
  EXPECT_TRUE(Probe(*form).changeNoteLabel()->isHidden());
  Insert([](FormDialog &d) {
    Type(d.wifi.name, QStringLiteral("咖啡店"));
    d.wifi.security->setCurrentIndex(2);
  });
  EXPECT_EQ(form->options().encoding, TextEncoding::Utf8);
  EXPECT_EQ(form->options().eci, 0);
  EXPECT_FALSE(Probe(*form).changeNoteLabel()->isHidden());
  EXPECT_TRUE(Probe(*form).changeNoteLabel()->text().contains(QStringLiteral("UTF-8")));
}

// A password typed in the dialog is in the text box it was put in, and
// nowhere else: not in the next dialog, not in the settings.
TEST_F(InsertForm, NothingIsKept) {
  const QString secret = QStringLiteral("s3cret-passw0rd");
  Insert([&secret](FormDialog &d) {
    Type(d.wifi.name, QStringLiteral("Home"));
    Type(d.wifi.password, secret);
  });
  ASSERT_TRUE(Text().contains(secret));
  Insert([](FormDialog &d) {
    EXPECT_TRUE(d.wifi.name->text().isEmpty());
    EXPECT_TRUE(d.wifi.password->text().isEmpty());
    EXPECT_EQ(d.kinds->currentRow(), FormDialog::Wifi);
    d.reject();
  });
  form->setAlwaysReadable(true); // something the window does store
  form->setAlwaysReadable(false);
  const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  ASSERT_FALSE(config.isEmpty());
  int files = 0;
  for (QDirIterator it(config, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
       it.hasNext();) {
    QFile file(it.next());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << it.filePath().toStdString();
    ++files;
    EXPECT_FALSE(file.readAll().contains(secret.toUtf8())) << it.filePath().toStdString();
  }
  EXPECT_GT(files, 0) << "the settings were written where they were looked for";
}

} // namespace
} // namespace zub
