// The main road through the window's own controls: text in, a logo through
// the dialog seam, a click, and the composite in the symbol holder, on the
// canvas and in the saved file.
#include "Composite.h"
#include "EncodeCount.h"
#include "ImageFile.h"
#include "Layout.h"
#include "LogoBox.h"
#include "LogoImage.h"
#include "MainWindow.h"
#include "MessageBytes.h"
#include "ScanCheck.h"
#include "ScriptedWindow.h"
#include "SingleInstance.h"
#include "Stretch.h"
#include "SvgPicture.h"
#include "TestSupport.h"
#include "WindowMenu.h"
#include "WindowProbe.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace zub {
namespace {

using test::Shown;

class MainRoad : public test::ShownWindow {
protected:
  void SetUp() override {
    test::ShownWindow::SetUp();
    if (HasFatalFailure())
      return;
    // A warning is also a message: its plain lines are the text.
    form->services.dialogs.warning = [this](const WarningRequest &r) {
      warnings.push_back(r);
      const bool offer = !r.accept.isEmpty();
      messages.push_back(
          {r.icon, offer ? MessageButtons::YesNo : MessageButtons::Ok, r.title, r.text});
      return offer ? answer : MessageAnswer::Ok;
    };
  }

  // Sets the option lists by position, the text and the logo answer,
  // clicks "生成二维码" and waits until the window has the result.
  void Generate(const QString &text, std::optional<QString> chosenLogo, int version = 0,
                int level = 1, int mask = 0, int encoding = 1) {
    Choose(text, std::move(chosenLogo), version, level, mask, encoding);
    test::FinishGeneration(
        *form, [this] { QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton); });
  }

  void Choose(const QString &text, std::optional<QString> chosenLogo, int version = 0,
              int level = 1, int mask = 0, int encoding = 1) {
    Probe(*form).messageEdit()->setPlainText(text);
    for (int i = 0; i < 4; ++i)
      Probe(*form).optionLists()[static_cast<std::size_t>(i)]->setCurrentIndex(
          std::array{version, level, mask, encoding}[static_cast<std::size_t>(i)]);
    logoChoice = std::move(chosenLogo);
  }

  // What the library composes for the same inputs.
  static QImage Expected(const QString &text, const QString &logoPath, int version = 0,
                         int level = 1, int mask = 0, int encoding = 1) {
    const std::vector<std::uint8_t> message =
        MessageBytes(text, encoding == 1 ? TextEncoding::Utf8 : TextEncoding::Ansi);
    QrEncoder encoder;
    return ComposeQRPicture(encoder.MakeSymbol(message.data(), static_cast<int>(message.size()),
                                               version, level + 1, mask - 1, KanjiMode::Excluded),
                            LoadLogo(logoPath).image);
  }

  QImage Composite() const {
    return Probe(*form).saveBox()->backgroundPicture().convertToFormat(QImage::Format_RGB32);
  }
  QImage Placeholder() const {
    PictureBox blank(PictureBox::DrawMode::Persistent);
    blank.resize(Probe(*form).canvas()->size());
    blank.setBackgroundPicture(Probe(*form).canvas()->backgroundPicture());
    return blank.image();
  }
  QString File(const QString &name) const { return dir.filePath(name); }

  std::vector<WarningRequest> warnings;
};

TEST_F(MainRoad, DefaultOptionsGiveTheLibrarysCompositeThatReadsBack) {
  const QString text = Probe(*form).messageEdit()->toPlainText(); // the default address
  Generate(text, logo);
  ASSERT_EQ(openRequests.size(), 1u);
  EXPECT_EQ(openRequests[0].title, QStringLiteral("请选择您的Logo图片"));
  // The historic entries first; an entry of every format the loader reads follows.
  EXPECT_TRUE(openRequests[0].filter.startsWith(
      QStringLiteral("图片文件(*.JPG)|*.JPG;*.bmp|图片文件(*.bmp)|*.JPG;*.bmp|")));
  EXPECT_EQ(openRequests[0].filterIndex, 3);
  EXPECT_TRUE(messages.empty()) << messages[0].text.toStdString();

  const QImage composite = Composite();
  ASSERT_EQ(composite.size(), QSize(552, 409));
  EXPECT_EQ(composite, Expected(text, logo));
  const auto found = test::DecodeAll(composite);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].bytes, MessageBytes(text, TextEncoding::Utf8));

  // The canvas shows the symbol stretched; the logo lies in the rounded
  // rectangle at (232, 152), its corners show the canvas beneath.
  const QImage canvas = Probe(*form).canvas()->image();
  const QImage logoBox = LogoInBox(LoadLogo(logo).image, QSize(89, 89));
  for (int y = 0; y < 409; ++y)
    for (int x = 0; x < 552; ++x) {
      const bool inLogo = x >= 232 && y >= 152 && InLogoRegion(x - 232, y - 152, 89, 89);
      ASSERT_EQ(composite.pixel(x, y),
                inLogo ? logoBox.pixel(x - 232, y - 152) : canvas.pixel(x, y))
          << x << "," << y;
    }
  EXPECT_EQ(Probe(*form).logoBox()->shownImage(), composite.copy(232, 152, 89, 89));
  EXPECT_EQ(Probe(*form).compositeBox()->image(), composite);
  EXPECT_EQ(Probe(*form).saveBox()->backgroundPicture().convertToFormat(QImage::Format_RGB32),
            composite);
}

// Through the option lists: level, encoding, version and mask positions
// reach the encoder, and the window's composite is the library's.
TEST_F(MainRoad, OptionListsReachTheEncoder) {
  const QString text = QStringLiteral("Zub二维码生成器 第1页 https://zub.example.cn/?id=42");
  for (int level = 0; level < 4; ++level)
    for (int encoding : {0, 1})
      for (int version : {0, 7, 11, 15, 20}) {
        const int mask = (version + level) % 9;
        messages.clear();
        Generate(text, logo, version, level, mask, encoding);
        const QImage composite = Composite();
        ASSERT_FALSE(composite.isNull()) << level << "/" << encoding << "/" << version;
        ASSERT_EQ(composite, Expected(text, logo, version, level, mask, encoding))
            << level << "/" << encoding << "/" << version;
        const auto found = test::DecodeAll(composite, encoding == 1 ? "UTF-8" : "GB18030");
        ASSERT_EQ(found.size(), 1u) << level << "/" << encoding << "/" << version;
        EXPECT_EQ(found[0].text, text);
        // At most the scan check's word on it (other readers guess the
        // character set and may get it wrong).
        ASSERT_LE(messages.size(), 1u);
        if (!messages.empty()) {
          EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("有些")))
              << messages[0].text.toStdString();
        }
      }
}

TEST_F(MainRoad, ZubqrComposeGivesTheWindowsPixels) {
  const QString text = QStringLiteral("丂丄丅二维码 Zub");
  Generate(text, logo, 6, 2, 4, 0);
  const QString out = File(QStringLiteral("cli.bmp"));
  QProcess zubqr;
  zubqr.start(QStringLiteral(ZUBQR_PATH),
              {"compose", "--text", text, "--version", "6", "--level", "Q", "--mask", "3",
               "--encoding", "ansi", "--logo", logo, "--output", out});
  ASSERT_TRUE(zubqr.waitForFinished(60000));
  ASSERT_EQ(zubqr.exitCode(), 0) << zubqr.readAllStandardError().toStdString();
  EXPECT_EQ(QImage(out).convertToFormat(QImage::Format_RGB32), Composite());
}

// The composite the scan check read is the one value the window shows,
// saves and copies, byte for byte; zubqr compose writes the same file, with
// --readable or without. Making it encoded the message once; showing,
// saving and copying it encode nothing.
TEST_F(MainRoad, CheckedCompositeIsWhatIsShownSavedCopiedAndComposed) {
  QGuiApplication::clipboard()->clear();
  const QString text = QStringLiteral("一条路 https://zub.example.cn/road?id=7");
  const std::uint64_t before = EncodeCount::Total();
  Generate(text, logo);
  ASSERT_TRUE(messages.empty()) << messages[0].text.toStdString();
  const MadeCode *checked = form->shownCode();
  ASSERT_NE(checked, nullptr);
  ASSERT_TRUE(checked->report && checked->report->checked && checked->report->Passes());
  const QImage composite = checked->composite;
  ASSERT_EQ(composite.size(), QSize(552, 409));
  EXPECT_EQ(EncodeCount::Total() - before, 1u);

  EXPECT_EQ(Probe(*form).saveBox()->backgroundPicture(), composite);
  // The symbol holder keeps the symbol alone, one pixel a module.
  EXPECT_EQ(Probe(*form).symbolHolder()->picture(), checked->symbol);
  EXPECT_EQ(Probe(*form).compositeBox()->image(), composite);

  QByteArray savedPng;
  for (const auto &[name, format] :
       {std::pair{"road.png", ImageFileFormat::Png}, std::pair{"road.bmp", ImageFileFormat::Bmp}}) {
    saveChoice = File(QString::fromLatin1(name));
    QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
    QFile saved(*saveChoice);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << name;
    const QByteArray bytes = saved.readAll();
    EXPECT_EQ(bytes, EncodeImageFile(composite, format)) << name;
    EXPECT_EQ(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32), composite) << name;
    if (format == ImageFileFormat::Png)
      savedPng = bytes;
  }
  form->copyPicture();
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), composite);
  EXPECT_EQ(EncodeCount::Total() - before, 1u);

  for (const bool readable : {false, true}) {
    const QString out = File(readable ? QStringLiteral("readable.png") : QStringLiteral("cli.png"));
    QStringList args{"compose", "--text", text, "--logo", logo, "--output", out};
    if (readable)
      args << "--readable";
    QProcess zubqr;
    zubqr.start(QStringLiteral(ZUBQR_PATH), args);
    ASSERT_TRUE(zubqr.waitForFinished(60000));
    ASSERT_EQ(zubqr.exitCode(), 0) << zubqr.readAllStandardError().toStdString();
    EXPECT_TRUE(zubqr.readAllStandardError().isEmpty()) << readable;
    QFile written(out);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), savedPng) << readable;
  }
}

// A cancelled logo choice leaves the window showing the last code, which is
// also what saving writes.
TEST_F(MainRoad, NoLogoKeepsTheCanvasAndTheLastCode) {
  Generate(QStringLiteral("first"), logo);
  const QImage first = Composite();
  const QImage canvas = Probe(*form).canvas()->image();
  messages.clear(); // what the scan check says of it is not the matter here
  for (const std::optional<QString> &none :
       {std::optional<QString>(), std::optional<QString>(QStringLiteral("   "))}) {
    Generate(QStringLiteral("second"), none);
    EXPECT_EQ(Probe(*form).canvas()->image(), canvas);
    EXPECT_EQ(Composite(), first);
  }
  EXPECT_TRUE(messages.empty());

  // A path with leading spaces is the file's real name.
  const QString spaced = File(QStringLiteral("  spaced.png"));
  ASSERT_TRUE(QFile::copy(logo, spaced));
  Generate(QStringLiteral("third"), spaced);
  EXPECT_EQ(Composite(), Expected(QStringLiteral("third"), logo));
}

// A text that fits no code is told before a logo is asked for. The last
// code stays on the canvas under the mark that it no longer matches the
// text, and saving it asks first, as for any such code; before any code,
// the canvas keeps its sample and there is nothing to save.
TEST_F(MainRoad, MessageThatDoesNotFitKeepsTheLastCodeMarked) {
  const QString tooLong(40, QLatin1Char('z')); // version 1-H holds 7 bytes
  Generate(tooLong, logo, 1, 3);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("内容过长，无法生成二维码。")));
  EXPECT_TRUE(openRequests.empty());
  EXPECT_FALSE(Probe(*form).symbolHolder()->hasPicture());
  EXPECT_EQ(Probe(*form).canvas()->image(), Placeholder());
  EXPECT_FALSE(Probe(*form).canvasMark()->isVisible());

  Generate(QStringLiteral("an earlier code"), logo);
  const QImage earlier = Composite();
  const QImage canvas = Probe(*form).canvas()->image();
  messages.clear();
  openRequests.clear();
  Generate(tooLong, logo, 1, 3);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("内容过长，无法生成二维码。")));
  EXPECT_TRUE(openRequests.empty());
  EXPECT_TRUE(Probe(*form).symbolHolder()->hasPicture());
  EXPECT_EQ(Probe(*form).canvas()->image(), canvas);
  EXPECT_EQ(Composite(), earlier);
  EXPECT_TRUE(Probe(*form).canvasMark()->isVisible());
  EXPECT_EQ(Probe(*form).canvasMark()->text(), QStringLiteral("内容已修改，请重新生成"));

  // Saving asks; declined, nothing is written.
  answer = MessageAnswer::No;
  saveChoice = File(QStringLiteral("declined.bmp"));
  QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[1].text.contains(QStringLiteral("是否仍然保存修改前的二维码？")));
  EXPECT_FALSE(QFile::exists(*saveChoice));
}

TEST_F(MainRoad, UnreadableLogoFinishesTheCodeWithoutOne) {
  Generate(QStringLiteral("with a logo"), logo);
  QFile cut(File(QStringLiteral("cut.bmp")));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  QByteArray bmp;
  {
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    test::SampleLogo().save(&buffer, "BMP");
  }
  cut.write(bmp.left(bmp.size() / 2));
  cut.close();

  for (const QString &bad : {File(QStringLiteral("missing.jpg")), cut.fileName()}) {
    messages.clear();
    Generate(QStringLiteral("no logo here"), bad);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(messages[0].text.contains(bad)) << messages[0].text.toStdString();
    // The symbol alone: on the canvas, in the logo box and in the composite.
    const QImage alone = StretchSymbol(
        [] {
          QrEncoder encoder;
          const auto m = test::BytesOf("no logo here");
          return encoder.MakeSymbol(m.data(), static_cast<int>(m.size()), 0, kLevelM, 0,
                                    KanjiMode::Excluded);
        }(),
        QSize(552, 409));
    EXPECT_EQ(Composite(), alone);
    EXPECT_EQ(Probe(*form).logoBox()->shownImage(), alone.copy(232, 152, 89, 89));
    EXPECT_FALSE(Probe(*form).logoHolder()->hasPicture());
  }
}

TEST_F(MainRoad, CodeThatMayNotScanIsWarnedAboutAndStaysSaveable) {
  // 40-L filled: no other version or level holds the text.
  Generate(QString(2900, QLatin1Char('z')), logo, 40, 0);
  ASSERT_EQ(warnings.size(), 1u);
  // What someone scanning meets and what could help; the causes, one a
  // line, folded.
  EXPECT_EQ(warnings[0].text.split(QLatin1Char('\n')).first(),
            QStringLiteral("有些手机扫不出这个二维码；二维码的点也太小。"));
  EXPECT_TRUE(warnings[0]
                  .details.split(QLatin1Char('\n'))
                  .contains(QStringLiteral("读码器zbar读不出这个二维码。")))
      << warnings[0].details.toStdString();
  EXPECT_TRUE(warnings[0].accept.isEmpty());
  EXPECT_EQ(warnings[0].icon, MessageIcon::Exclamation);
  ASSERT_TRUE(Probe(*form).symbolHolder()->hasPicture());
  saveChoice = File(QStringLiteral("v40.bmp"));
  QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
  EXPECT_EQ(QImage(*saveChoice).convertToFormat(QImage::Format_RGB32), Composite());
}

// Runs `start`, a save that works off the interface thread, and waits for
// its end.
void FinishSave(MainWindow &form, const std::function<void()> &start) {
  QSignalSpy finished(&form, &MainWindow::saveFinished);
  start();
  ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  EXPECT_FALSE(form.saving());
}

TEST_F(MainRoad, TheLargeSaveDrawsTheCompositeLargerWithTheLogoFromItsFile) {
  // A detailed logo file, larger than the box shows.
  const QString photo = File(QStringLiteral("photo.png"));
  ASSERT_TRUE(test::PaintedLogo().save(photo));
  Generate(QStringLiteral("https://zub.example.cn/海报"), photo);
  const QImage composite = Composite();

  // Nothing chosen: nothing asked further, nothing written.
  listChoice.reset();
  form->saveLarge();
  ASSERT_EQ(choiceRequests.size(), 1u);
  EXPECT_TRUE(saveRequests.empty());
  EXPECT_EQ(choiceRequests[0].title, QStringLiteral("保存高清二维码"));
  EXPECT_EQ(
      choiceRequests[0].items,
      (QStringList{QStringLiteral("2倍：1104 × 818 像素，192 dpi，打印尺寸 14.6 × 10.8 厘米"),
                   QStringLiteral("4倍：2208 × 1636 像素，300 dpi，打印尺寸 18.7 × 13.9 厘米"),
                   QStringLiteral("8倍：4416 × 3272 像素，300 dpi，打印尺寸 37.4 × 27.7 厘米"),
                   QStringLiteral("16倍：8832 × 6544 像素，300 dpi，打印尺寸 74.8 × 55.4 厘米")}));
  EXPECT_EQ(choiceRequests[0].current, 2);

  listChoice = 1; // 4 times
  saveChoice = File(QStringLiteral("海报.png"));
  messages.clear();
  FinishSave(*form, [this] { form->saveLarge(); });
  ASSERT_EQ(saveRequests.size(), 1u);
  EXPECT_EQ(saveRequests[0].filter, QStringLiteral("JPEG图片(*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                                   "PNG图片(*.png)|*.png|位图(*.bmp)|*.bmp"));
  const QImage large = QImage(*saveChoice).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(large.size(), composite.size() * 4);
  EXPECT_NEAR(large.dotsPerMeterX() * 0.0254, 300, 0.5);
  EXPECT_EQ(test::DifferencesOutsideTheLogoBox(composite, large, 4), 0);
  // Inside the rounded region, the logo drawn from its file at that size.
  const QRect box(kLogoBoxRect.topLeft() * 4, kLogoBoxRect.size() * 4);
  int logoDiffers = 0;
  const QImage sharp = LogoInBox(test::PaintedLogo(), box.size());
  for (int y = 0; y < box.height(); ++y)
    for (int x = 0; x < box.width(); ++x)
      if (InLogoRegion(x, y, box.width(), box.height(), 4))
        logoDiffers += large.pixel(box.topLeft() + QPoint(x, y)) != sharp.pixel(x, y);
  EXPECT_EQ(logoDiffers, 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text,
            QStringLiteral("二维码保存成功！\r\n位置：") + *saveChoice +
                QStringLiteral("\r\n大小：2208 × 1636 像素，300 dpi，打印尺寸 18.7 × 13.9 厘米"
                               "\r\n\r\n是否定位到文件？"));
  // The next large save offers the last choice first.
  listChoice.reset();
  form->saveLarge();
  EXPECT_EQ(choiceRequests.back().current, 1);
}

TEST_F(MainRoad, SavingAsSvgWritesAVectorPictureThatDrawsAsTheComposite) {
  Generate(QStringLiteral("矢量图 vector"), logo);
  const QImage composite = Composite();
  saveChoice = File(QStringLiteral("二维码.svg"));
  messages.clear();
  FinishSave(*form, [this] { QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton); });
  QFile file(*saveChoice);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray svg = file.readAll();
  EXPECT_TRUE(svg.contains("data:image/png;base64,"));
  const QImage drawn = RenderSvg(svg, composite.size());
  EXPECT_EQ(test::DifferencesOutsideTheLogoBox(composite, drawn, 1), 0);
  const auto found = test::DecodeAll(drawn);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].text, QStringLiteral("矢量图 vector"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text,
            QStringLiteral("二维码保存成功！\r\n位置：") + *saveChoice +
                QStringLiteral("\r\n大小：矢量图，打印尺寸 14.6 × 10.8 厘米，可任意放大而不模糊"
                               "\r\n\r\n是否定位到文件？"));
  // The next save offers the vector picture first.
  saveRequests.clear();
  saveChoice.reset();
  QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
  ASSERT_EQ(saveRequests.size(), 1u);
  EXPECT_EQ(saveRequests[0].filterIndex, 4);
}

TEST_F(MainRoad, SaveWritesTheFormatTheNameSaysAndOffersToShowIt) {
  Generate(QStringLiteral("save me"), logo);
  const QImage composite = Composite();
  struct Case {
    QString name;
    QByteArray magic;     // the file's first bytes
    bool exact;           // lossless: the composite pixel for pixel
    int rememberedFilter; // the filter the next save offers first
    MessageAnswer answer;
  };
  const QByteArray jpeg("\xFF\xD8\xFF"), png("\x89PNG\r\n\x1A\n"), bmp("BM");
  int offered = 1; // JPEG first
  // The first save starts where pictures belong, later ones where the last went.
  QString startFolder = zub::SaveStartFolder(QCoreApplication::applicationDirPath());
  for (const Case &c : {Case{QStringLiteral("二维码.jpg"), jpeg, false, 1, MessageAnswer::Yes},
                        Case{QStringLiteral("二维码.PNG"), png, true, 2, MessageAnswer::No},
                        Case{QStringLiteral("二维码.jpeg"), jpeg, false, 1, MessageAnswer::No},
                        Case{QStringLiteral("二维码.bmp"), bmp, true, 3, MessageAnswer::No},
                        Case{QStringLiteral("二维码.gif"), bmp, true, 3, MessageAnswer::No},
                        Case{QStringLiteral("二维码"), bmp, true, 3, MessageAnswer::No}}) {
    SCOPED_TRACE(c.name.toStdString());
    messages.clear();
    revealed.clear();
    saveRequests.clear();
    saveChoice = File(c.name);
    answer = c.answer;
    QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
    ASSERT_EQ(saveRequests.size(), 1u);
    EXPECT_EQ(saveRequests[0].title,
              QStringLiteral("请选择二维码的保存路径 - By Zub软件工作室、Morvi软件工作室"));
    EXPECT_EQ(saveRequests[0].filter, QStringLiteral("JPEG图片(*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                                     "PNG图片(*.png)|*.png|位图(*.bmp)|*.bmp|"
                                                     "SVG矢量图(*.svg)|*.svg"));
    EXPECT_EQ(saveRequests[0].filterIndex, offered);
    EXPECT_EQ(saveRequests[0].fileName, QStringLiteral("二维码"));
    EXPECT_EQ(saveRequests[0].startFolder, startFolder);
    offered = c.rememberedFilter;
    startFolder = QFileInfo(*saveChoice).absolutePath();

    QFile file(*saveChoice);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith(c.magic));
    const QImage read = QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(read.size(), composite.size());
    if (c.exact) {
      EXPECT_EQ(read, composite);
    }
    const std::vector<test::Decoded> found = test::DecodeAll(read);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].bytes, test::BytesOf("save me"));

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("提示"));
    EXPECT_EQ(messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages[0].text,
              QStringLiteral("二维码保存成功！\r\n位置：") + *saveChoice +
                  QStringLiteral("\r\n大小：552 × 409 像素，96 dpi，打印尺寸 14.6 × 10.8 厘米"
                                 "\r\n\r\n是否定位到文件？"));
    EXPECT_EQ(revealed, c.answer == MessageAnswer::Yes ? std::vector<QString>{*saveChoice}
                                                       : std::vector<QString>{});
  }

  // Cancelling is silent and writes nothing.
  messages.clear();
  saveChoice.reset();
  QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
  EXPECT_TRUE(messages.empty());

  // A folder that does not exist: told why, no success message.
  saveChoice = File(QStringLiteral("no such folder/二维码.bmp"));
  QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("文件夹不存在")))
      << messages[0].text.toStdString();
  EXPECT_TRUE(messages[0].text.contains(*saveChoice));
}

// The work runs off the interface thread: the click returns before the code
// exists, and what the window shows is made of what it held at the click.
TEST_F(MainRoad, ClickWhileAGenerationRunsStartsNothing) {
  // A code every reader reads, so that no warning stands for the report of
  // a second generation (most version 1 codes under this logo are not read
  // by zbar's own front end).
  Choose(QStringLiteral("first click here"), logo);
  QSignalSpy finished(form.get(), &MainWindow::generationFinished);
  QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton);
  ASSERT_TRUE(form->generating());
  Probe(*form).messageEdit()->setPlainText(QStringLiteral("typed meanwhile"));
  QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton);
  ASSERT_TRUE(finished.wait(60000));
  QTest::qWait(50); // a second generation would have reported by now
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(openRequests.size(), 1u);
  EXPECT_EQ(Composite(), Expected(QStringLiteral("first click here"), logo));
  EXPECT_TRUE(messages.empty());
}

TEST_F(MainRoad, ClosingOrDestroyingTheWindowDuringAGenerationIsSafe) {
  // This code would bring the scan warning; a closed window shows nothing more.
  Choose(QString(1500, QLatin1Char('z')), logo, 40);
  QSignalSpy finished(form.get(), &MainWindow::generationFinished);
  QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton);
  ASSERT_TRUE(form->generating());
  form->close();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(form->generating());

  // The window is destroyed while the work runs: it waits for the work and
  // the report never arrives.
  auto second = std::make_unique<MainWindow>();
  second->services = form->services;
  second->services.pageAddress = QUrl();
  SingleInstance secondLock(File(QStringLiteral("second lock")));
  ASSERT_TRUE(second->load(secondLock));
  second->show();
  Probe(*second).messageEdit()->setPlainText(QString(1500, QLatin1Char('z')));
  Probe(*second).optionLists()[0]->setCurrentIndex(40);
  QTest::mouseClick(Probe(*second).generateButton(), Qt::LeftButton);
  ASSERT_TRUE(second->generating());
  second.reset();
  QCoreApplication::processEvents();
  EXPECT_TRUE(messages.empty());
}

TEST_F(MainRoad, ContextMenuSaveEntryRunsTheSaveCommand) {
  Generate(QStringLiteral("from the menu"), logo);
  saveChoice = File(QStringLiteral("menu.bmp"));
  duringPopup = [](QMenu *menu) {
    for (QAction *a : menu->actions())
      if (a->objectName() == QStringLiteral("Saves") && a->isVisible())
        a->trigger();
  };
  QTest::mouseClick(Probe(*form).logoBox(), Qt::RightButton, {}, QPoint(40, 40));
  EXPECT_EQ(popups.size(), 1u);
  EXPECT_EQ(QImage(*saveChoice).convertToFormat(QImage::Format_RGB32), Composite());
}

} // namespace
} // namespace zub

namespace zub {
namespace {

// A code the readers do not read as typed: the window offers options that
// scan. 是 sets the option lists to them and shows their code; 否 keeps the
// first. zbar takes these UTF-8 bytes for Shift JIS unless the symbol says
// (ECI 26), which no version or level changes.
TEST_F(MainRoad, UnreadableCodeOffersOptionsThatScan) {
  const QString text = QStringLiteral("中国");
  const std::vector<std::uint8_t> utf8 = MessageBytes(text, TextEncoding::Utf8);
  for (MessageAnswer choice : {MessageAnswer::No, MessageAnswer::Yes}) {
    messages.clear();
    warnings.clear();
    answer = choice;
    const std::uint64_t before = EncodeCount::Total();
    Generate(text, logo);
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].accept, QStringLiteral("改用推荐设置"));
    EXPECT_EQ(warnings[0].keep, QStringLiteral("保留当前二维码"));
    EXPECT_EQ(warnings[0].text.split(QLatin1Char('\n')).last(),
              QStringLiteral("建议改用推荐设置：文字编码“UTF-8（注明编码）”。"));
    EXPECT_TRUE(warnings[0].details.contains(QStringLiteral("UTF-8编码（ECI 26）")))
        << warnings[0].details.toStdString();
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
    // The first code and each candidate of the search once; showing the
    // offered code makes nothing again.
    EXPECT_EQ(EncodeCount::Total() - before, 1 + form->lastRemedySearch().tried.size());

    const QImage shown = Composite();
    if (choice == MessageAnswer::No) {
      EXPECT_EQ(shown, Expected(text, logo));
      EXPECT_EQ(Probe(*form).optionLists()[3]->currentIndex(), 1);
      EXPECT_FALSE(ReadWithZbar(shown, utf8, text).textExact);
    } else {
      EXPECT_EQ(Probe(*form).optionLists()[0]->currentIndex(), 0);
      EXPECT_EQ(Probe(*form).optionLists()[1]->currentIndex(), 1);
      EXPECT_EQ(Probe(*form).optionLists()[3]->currentText(), QStringLiteral("UTF-8（注明编码）"));
      EXPECT_TRUE(ReadWithZxing(shown, utf8, text).Exact());
      EXPECT_TRUE(ReadWithZbar(shown, utf8, text).Exact());
      // The canvas, the logo box and the saved picture show the same code.
      EXPECT_EQ(Probe(*form).canvas()->image().copy(0, 0, 20, 20), shown.copy(0, 0, 20, 20));
      saveChoice = File(QStringLiteral("offered.bmp"));
      QTest::mouseClick(Probe(*form).saveButton(), Qt::LeftButton);
      EXPECT_EQ(QImage(*saveChoice).convertToFormat(QImage::Format_RGB32), shown);
      // Generating again with the lists as they are now makes it at once.
      messages.clear();
      Generate(text, logo, 0, 1, 0, 2);
      EXPECT_TRUE(messages.empty());
      EXPECT_EQ(Composite(), shown);
    }
  }
}

// When no options scan, the window says so and why, and keeps the code.
// A version fixed far above what the text needs, whose modules the stretch
// makes too thin: the smallest version that holds the text scans, and the
// offer names it; "nothing helps" is not said.
TEST_F(MainRoad, ALargeFixedVersionIsMendedByTheSmallestThatFits) {
  Generate(QString(600, QLatin1Char('z')), logo, 40);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].accept, QStringLiteral("改用推荐设置"));
  EXPECT_TRUE(warnings[0].text.contains(QStringLiteral("版本“自动”")))
      << warnings[0].text.toStdString();
  EXPECT_FALSE(warnings[0].text.contains(QStringLiteral("不能解决")));
  ASSERT_TRUE(form->lastRemedySearch().found);
  EXPECT_LT(form->lastRemedySearch().found->picture.facts().version, 40);
}

// Where every code that holds the text has modules too small for a phone
// (version 40 at level L, filled), the window says that the text is too
// long, and advises only a shorter one: no other option, nor leaving out
// the logo, makes the modules larger.
TEST_F(MainRoad, NoOptionsThatScanIsSaid) {
  Generate(QString(2900, QLatin1Char('z')), logo, 40, 0);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].accept.isEmpty());
  EXPECT_TRUE(warnings[0].details.contains(QStringLiteral("拉伸使模块宽")));
  EXPECT_TRUE(warnings[0].details.contains(QStringLiteral("二维码的点只有2到3像素")))
      << warnings[0].details.toStdString();
  EXPECT_TRUE(warnings[0].text.contains(QStringLiteral("这段文字太长")))
      << warnings[0].text.toStdString();
  EXPECT_TRUE(warnings[0].text.contains(QStringLiteral("建议缩短文字")));
  EXPECT_FALSE(warnings[0].text.contains(QStringLiteral("不加Logo")));
  EXPECT_FALSE(warnings[0].text.contains(QStringLiteral("都不能解决")));
  EXPECT_FALSE(form->lastRemedySearch().found);
  EXPECT_TRUE(Probe(*form).symbolHolder()->hasPicture());
}

// Closing the window while the search runs stops it before its next
// candidate: the window does not wait for the rest, and says nothing more.
TEST_F(MainRoad, ClosingDuringTheSearchStopsIt) {
  // Version 39-L of a long text: every candidate fails to read, each taking
  // the readers some tens of milliseconds.
  QString text;
  const QString pattern = QStringLiteral("Zub二维码生成器 https://zub.example.cn/第页?id=");
  for (int i = 0; text.toUtf8().size() < 1500; ++i)
    text += pattern[i % pattern.size()];
  Choose(text, logo, 39, 0);
  QSignalSpy finished(form.get(), &MainWindow::generationFinished);
  QTest::mouseClick(Probe(*form).generateButton(), Qt::LeftButton);
  ASSERT_TRUE(form->generating());
  form->close();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(form->lastRemedySearch().cancelled);
  EXPECT_LE(form->lastRemedySearch().read, 1);
}

} // namespace
} // namespace zub
