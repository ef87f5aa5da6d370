// zubqr writes the text of a form instead of TEXT: a Wi-Fi network, a
// phone number, a text message, a mail, a place or a contact card, one
// kind at a time, from its options or from a batch's columns, in UTF-8,
// with the escapes each format wants; any other combination is a usage
// error, in the locale's language.
#include "CliSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace zub::clitest {
namespace {

const QList<QPair<QString, QString>> kChinese{
    {QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8")}};

class FormOptions : public CliScratch {
protected:
  void Put(const QString &name, const QByteArray &bytes) {
    QFile file(File(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
};

TEST_F(FormOptions, EachKindBecomesItsExactText) {
  struct Case {
    QStringList args;
    const char *text;
  } const cases[] = {
      {{"--wifi", R"(咖啡;店 "Bar")", "--password", R"(p:w\d,1234)"},
       R"(WIFI:T:WPA;S:咖啡\;店 \"Bar\";P:p\:w\\d\,1234;;)"},
      {{"--wifi", "Guest", "--password", "0123456789", "--security", "WEP", "--hidden"},
       "WIFI:T:WEP;S:Guest;P:0123456789;H:true;;"},
      {{"--wifi", "开放网络"}, "WIFI:T:nopass;S:开放网络;;"},
      {{"--wifi=a:b", "--security", "none", "--hidden"}, R"(WIFI:T:nopass;S:a\:b;H:true;;)"},
      {{"--tel", "*100#"}, "tel:*100%23"},
      {{"--sms", "138 0013 8000", "--body", "到了吗？3:30 见"},
       "SMSTO:13800138000:到了吗？3:30 见"},
      {{"--sms", "10086"}, "SMSTO:10086:"},
      {{"--mail", "li+lei@example.com", "--subject", "你好 & \"hi\"", "--body", "a=1\nb"},
       "mailto:li%2Blei@example.com?subject=%E4%BD%A0%E5%A5%BD%20%26%20%22hi%22&body=a%3D1%0D%"
       "0Ab"},
      {{"--geo", "-33.8568,151.2153"}, "geo:-33.8568,151.2153"},
      {{"--geo=39.9087, +116.3975"}, "geo:39.9087,116.3975"},
      {{"--contact", "--name", "王小明", "--phone", "138 0013 8000", "--email", "w:x@example.com"},
       R"(MECARD:N:王小明;TEL:13800138000;EMAIL:w\:x@example.com;;)"},
      {{"--contact", "--name", "Li, Lei", "--org", "北京;分部", "--address", "海淀区\n1号", "--url",
        "https://example.com/?a=1,2", "--note", "a\\b"},
       "BEGIN:VCARD\nVERSION:3.0\nN:Li\\, Lei\nFN:Li\\, Lei\nORG:北京\\;分部\nADR:;;海淀区\\n1号\n"
       "URL:https://example.com/?a=1,2\nNOTE:a\\\\b\nEND:VCARD"},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
    const QString out = File(QStringLiteral("%1.png").arg(n++));
    const Outcome r = Zubqr(QStringList{"encode"} + c.args + QStringList{"-o", out});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(Read(out), QByteArray(c.text));
  }
  // compose takes the same options, and so writes the same message.
  const QString composed = File(QStringLiteral("composed.png"));
  const Outcome r = Zubqr({"compose", "--wifi", "咖啡店", "--password", "12345678", "--logo",
                           File("logo.png"), "-o", composed});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(Decode(QImage(composed), false), QByteArray("WIFI:T:WPA;S:咖啡店;P:12345678;;"));
}

// What cannot be a form is refused before anything is written, saying
// which option is wrong, in English under C and in Chinese under zh_CN.
TEST_F(FormOptions, OtherCombinationsAreUsageErrors) {
  Put("jobs.txt", "x\n");
  struct Case {
    QStringList args;
    const char *english, *chinese;
  } const cases[] = {
      {{"--wifi", "a", "--tel", "1"}, "one of --wifi", "一次只能用一个"},
      {{"hello", "--tel", "110"}, "--tel makes the message", "--tel 已给出内容"},
      {{"--text", "hello", "--geo", "1,2"}, "--geo makes the message", "--geo 已给出内容"},
      {{"--input", "jobs.txt", "--contact", "--name", "a"},
       "--contact makes the message",
       "--contact 已给出内容"},
      {{"--batch", "jobs.txt", "--sms", "110"}, "a batch takes --columns", "批量时请用 --columns"},
      {{"--password", "12345678"}, "--password goes with", "--password 需要与"},
      {{"--tel", "110", "--body", "hi"}, "--body does not go with --tel", "--body 不能与 --tel"},
      {{"--mail", "a@b.cn", "--name", "x"},
       "--name does not go with --mail",
       "--name 不能与 --mail"},
      {{"-e", "ansi", "--wifi", "a"}, "always UTF-8", "总是以 UTF-8"},
      {{"--columns", "wifi"}, "--columns is for --batch", "--columns 只用于 --batch"},
      {{"--batch", "jobs.txt", "--columns", "fax"}, "--columns takes wifi", "--columns 取 wifi"},
      {{"--batch", "jobs.txt", "--columns", "wifi", "--password", "x"},
       "--batch takes --password from its columns",
       "--batch 从文件的各列读取 --password"},
      {{"--wifi", ""}, "--wifi: the network name is empty", "--wifi：请填写网络名称"},
      {{"--wifi", "a", "--password", "short"},
       "--password: a WPA password",
       "--password：WPA 密码至少要 8 个字符"},
      {{"--wifi", "a", "--security", "wpa"},
       "--password: a WPA or WEP network needs",
       "--password：WPA 和 WEP 网络需要密码"},
      {{"--wifi", "a", "--password", "12345678", "--security", "none"},
       "--password: an open network",
       "--password：不加密的网络没有密码"},
      {{"--wifi", "a", "--security", "wpa4"},
       "--security: takes wpa, wep or none",
       "--security：应为 wpa、wep 或 none"},
      {{"--tel", "110a"}, "--tel: a phone number holds only", "--tel：电话号码只能由"},
      {{"--mail", "nobody"}, "--mail: a mail address looks like", "--mail：邮箱地址应形如"},
      {{"--geo", "91,0"}, "--geo: the latitude is not between", "--geo：纬度应在"},
      {{"--geo", "39.9"}, "--geo: takes LAT,LON", "--geo：应为“纬度,经度”"},
      {{"--contact", "--phone", "110"}, "--name: the name is empty", "--name：请填写姓名"},
      {{"--contact", "--name", "a", "--url", "http://a b"},
       "--url: a web address holds no",
       "--url：网址中不能有空格"},
  };
  for (const Case &c : cases) {
    for (bool chinese : {false, true}) {
      SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString() + (chinese ? " zh_CN" : " C"));
      const QStringList args = QStringList{"encode"} + c.args + QStringList{"-o", File("out.png")};
      const Outcome r = chinese ? Zubqr(args, {}, kChinese) : Zubqr(args);
      EXPECT_EQ(r.status, 2);
      const QString first = QString::fromUtf8(r.err).section(QLatin1Char('\n'), 0, 0);
      EXPECT_TRUE(first.contains(QString::fromUtf8(chinese ? c.chinese : c.english)))
          << first.toStdString();
      EXPECT_FALSE(QFile::exists(File("out.png")));
    }
  }
}

// A batch's lines as a kind's columns: the file's name, then the kind's
// fields; escapes as in any batch; a line that cannot be a form fails
// alone, naming its column, and the others are written.
TEST_F(FormOptions, BatchColumnsAreTheKindsFields) {
  Put("wifi.tsv", "shop\tShop;WiFi\t12345678\twpa\tyes\n"
                  "\t开放\n"
                  "bad\tx\tshort\n"
                  "tabbed\ta\\tb\tpass\\\\word\n"
                  "many\ta\tb\tc\td\te\n"
                  "odd\ta\t12345678\twpa\tperhaps\n");
  Outcome r =
      Zubqr({"encode", "--batch", File("wifi.tsv"), "--columns", "wifi", "-o", File("wifi")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(QDir(File("wifi")).entryList(QDir::Files),
            QStringList({"2.png", "shop.png", "tabbed.png"}));
  EXPECT_EQ(Read(File("wifi/shop.png")),
            QByteArray(R"(WIFI:T:WPA;S:Shop\;WiFi;P:12345678;H:true;;)"));
  EXPECT_EQ(Read(File("wifi/2.png")), QByteArray("WIFI:T:nopass;S:开放;;"));
  EXPECT_EQ(Read(File("wifi/tabbed.png")), QByteArray("WIFI:T:WPA;S:a\tb;P:pass\\\\word;;"));
  const QString err = QString::fromUtf8(r.err);
  EXPECT_TRUE(err.contains(QStringLiteral("line 3: column 3 (password): a WPA password")))
      << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("line 5: 6 columns, where this kind has at most 5")))
      << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("line 6: column 5 (hidden): takes yes or no")))
      << err.toStdString();

  Put("people.tsv", "wang\t王小明\t138 0013 8000\t\t北京,分部\n"
                    "\t\t110\n"
                    "place\n");
  r = Zubqr({"encode", "--batch", File("people.tsv"), "--columns", "contact", "-o",
             File("people/{n}-{name}.png")},
            {}, kChinese);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read(File("people/1-wang.png")),
            QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:王小明\nFN:王小明\nORG:北京\\,分部\n"
                       "TEL:138 0013 8000\nEND:VCARD"));
  EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("第 2 列（name）：请填写姓名")))
      << r.err.toStdString();

  Put("places.tsv", "home\t39.9087\t116.3975\nfar\t39.9087\t200\n");
  r = Zubqr({"encode", "--batch", File("places.tsv"), "--columns", "geo", "-o", File("places")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Read(File("places/home.png")), QByteArray("geo:39.9087,116.3975"));
  EXPECT_TRUE(QString::fromUtf8(r.err).contains(
      QStringLiteral("line 2: columns 2 and 3 (latitude, longitude): the longitude")))
      << r.err.toStdString();
}

// The help names the forms in the locale's language.
TEST_F(FormOptions, HelpNamesTheFormsInTheLocalesLanguage) {
  for (const char *command : {"encode", "compose"}) {
    const Outcome english = Zubqr({command, "--help"});
    const Outcome chinese = Zubqr({command, "--help"}, {}, kChinese);
    EXPECT_EQ(english.status, 0);
    EXPECT_EQ(chinese.status, 0);
    for (const char *option : {"--wifi SSID", "--tel", "--sms", "--mail", "--geo LAT,LON",
                               "--contact", "--columns KIND", "--hidden", "--security"}) {
      EXPECT_TRUE(english.out.contains(option)) << command << " " << option;
    }
    EXPECT_TRUE(QString::fromUtf8(chinese.out)
                    .contains(QStringLiteral("--wifi SSID          连接 Wi-Fi 网络")));
    EXPECT_TRUE(QString::fromUtf8(chinese.out).startsWith(QStringLiteral("用法：zubqr ")));
    EXPECT_TRUE(english.out.startsWith("usage: zubqr "));
  }
}

} // namespace
} // namespace zub::clitest
