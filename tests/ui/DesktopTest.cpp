#include "Addresses.h"
#include "DesktopActions.h"
#include "Dialogs.h"
#include "Support.h"
#include "WindowMenu.h"
#include "WindowProbe.h"

#include <QAction>
#include <QComboBox>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLibraryInfo>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>

namespace {

// Collects what QDesktopServices is asked to open.
class UrlCatcher : public QObject {
  Q_OBJECT

public:
  explicit UrlCatcher(std::initializer_list<const char *> schemes) {
    for (const char *scheme : schemes) {
      schemes_ << QString::fromLatin1(scheme);
      QDesktopServices::setUrlHandler(schemes_.last(), this, "open");
    }
  }
  ~UrlCatcher() override {
    for (const QString &scheme : schemes_)
      QDesktopServices::unsetUrlHandler(scheme);
  }
  QList<QUrl> opened;

public slots:
  void open(const QUrl &url) { opened << url; }

private:
  QStringList schemes_;
};

// A file manager on a private message bus that records what it is shown.
class FakeFileManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
  QStringList shown;

public slots:
  void ShowItems(const QStringList &uris, const QString &) { shown << uris; }
};

class PrivateBus {
public:
  PrivateBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
      return;
    process_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address=1")});
    if (!process_.waitForReadyRead(10000))
      return;
    address_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  ~PrivateBus() {
    QDBusConnection::disconnectFromBus(QStringLiteral("zub-test"));
    process_.kill();
    process_.waitForFinished();
  }
  bool ok() const { return !address_.isEmpty(); }
  QDBusConnection connect() const {
    return QDBusConnection::connectToBus(address_, QStringLiteral("zub-test"));
  }

private:
  QProcess process_;
  QString address_;
};

} // namespace

TEST(QtNameFilters, EveryPairBecomesOneFilter) {
  EXPECT_EQ(
      zub::QtNameFilters(QStringLiteral("图片文件(*.JPG)|*.JPG;*.bmp|图片文件(*.bmp)|*.JPG;*.bmp")),
      QStringList({QStringLiteral("图片文件(*.JPG) (*.JPG *.bmp)"),
                   QStringLiteral("图片文件(*.bmp) (*.JPG *.bmp)")}));
  EXPECT_EQ(zub::QtNameFilters(QStringLiteral("图片文件(*.jpg)|*.jpg|图片文件(*.bmp|*.bmp")),
            QStringList({QStringLiteral("图片文件(*.jpg) (*.jpg)"),
                         QStringLiteral("图片文件(*.bmp (*.bmp)")}));
  EXPECT_EQ(zub::QtNameFilters(QStringLiteral("lonely")), QStringList());
}

// Qt's own dialog speaks Chinese like the window: its buttons and columns
// from Qt's translations, the kind of a folder from ours.
TEST(FileDialog, QtTextsAreChinese) {
  if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                     QStringLiteral("/qtbase_zh_CN.qm")))
    GTEST_SKIP() << "Qt's Chinese translations are not installed";
  zub::InstallQtTranslations();
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
  QFileDialog dialog;
  zub::SetUpFileDialog(dialog,
                       {QStringLiteral("请选择您的Logo图片"), QString::fromUtf8(zub::kLogoFilter),
                        1, QString(), dir.path()},
                       false);
  auto *buttons = dialog.findChild<QDialogButtonBox *>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Open)->text(), QStringLiteral("打开(&O)"));
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
  auto *list = dialog.findChild<QTreeView *>();
  ASSERT_NE(list, nullptr);
  auto *files = qobject_cast<QFileSystemModel *>(list->model());
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(files->headerData(0, Qt::Horizontal).toString(), QStringLiteral("名称"));
  const QModelIndex folder = files->index(dir.filePath(QStringLiteral("folder")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !files->type(folder).isEmpty(); }, 10000));
  EXPECT_EQ(files->type(folder), QStringLiteral("文件夹"));
}

TEST(FileDialog, PatternsMatchRegardlessOfCase) {
  QTemporaryDir dir;
  for (const char *name : {"a.jpg", "B.JPG", "c.Bmp", "d.png"}) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  QFileDialog dialog;
  zub::SetUpFileDialog(dialog,
                       {QStringLiteral("请选择您的Logo图片"),
                        QStringLiteral("图片文件(*.JPG)|*.JPG;*.bmp|图片文件(*.bmp)|*.JPG;*.bmp"),
                        1, QString(), dir.path()},
                       false);
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("请选择您的Logo图片"));
  EXPECT_EQ(dialog.nameFilters(), QStringList({QStringLiteral("图片文件(*.JPG) (*.JPG *.bmp)"),
                                               QStringLiteral("图片文件(*.bmp) (*.JPG *.bmp)")}));
  EXPECT_TRUE(dialog.selectedNameFilter().startsWith(QStringLiteral("图片文件(*.JPG)")));
  // The dialog's view filters with the dialog's flags.
  const QStringList shown =
      QDir(dir.path())
          .entryList({QStringLiteral("*.JPG"), QStringLiteral("*.bmp")},
                     dialog.filter() & ~QDir::AllDirs, QDir::Name | QDir::IgnoreCase);
  EXPECT_EQ(shown, QStringList({"a.jpg", "B.JPG", "c.Bmp"}));
}

TEST(FileDialog, SaveGivesABareNameTheFiltersSuffixAndAsksBeforeReplacing) {
  QFileDialog dialog;
  zub::SetUpFileDialog(dialog,
                       {QStringLiteral("保存"),
                        QStringLiteral("JPEG图片(*.jpg;*.jpeg)|*.jpg;*.jpeg|"
                                       "PNG图片(*.png)|*.png|位图(*.bmp)|*.bmp"),
                        2, QStringLiteral("二维码"), QString()},
                       true);
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("png"));
  // The user picks another filter in the dialog's list.
  auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(types, nullptr);
  for (const auto &[index, suffix] : {std::pair{0, "jpg"}, std::pair{2, "bmp"}}) {
    types->setCurrentIndex(index);
    emit types->activated(index);
    emit types->textActivated(types->itemText(index));
    EXPECT_EQ(dialog.defaultSuffix(), QLatin1String(suffix));
  }
}

using CommandsTest = FormTest;

TEST_F(CommandsTest, LogoChooserAsksWithItsTitleAndFilterAndReturnsThePathOrEmpty) {
  logoChoice = QStringLiteral(" /tmp/logo.jpg");
  const std::vector<zub::FileDialogRequest> &asked = openRequests;
  // What a save left behind stays: start folder and file name.
  Probe(*form).fileDialog().InitDir = QStringLiteral("/opt/zub");
  Probe(*form).fileDialog().FileName = QStringLiteral("/opt/zub/二维码");
  EXPECT_EQ(Probe(*form).askForLogo(), QStringLiteral(" /tmp/logo.jpg"));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].title, QStringLiteral("请选择您的Logo图片"));
  EXPECT_TRUE(asked[0].filter.startsWith(
      QStringLiteral("图片文件(*.JPG)|*.JPG;*.bmp|图片文件(*.bmp)|*.JPG;*.bmp|")));
  EXPECT_EQ(asked[0].filterIndex, 3);
  EXPECT_EQ(asked[0].startFolder, QStringLiteral("/opt/zub"));
  EXPECT_EQ(asked[0].fileName, QStringLiteral("/opt/zub/二维码"));

  logoChoice.reset();
  EXPECT_EQ(Probe(*form).askForLogo(), QString());
}

TEST_F(CommandsTest, MenuLinksOpenTheStudiosAddresses) {
  UrlCatcher catcher{"http"};
  form->windowMenu().studioLink1->trigger();
  form->windowMenu().studioLink2->trigger();
  EXPECT_EQ(catcher.opened, QList<QUrl>({QUrl(QString::fromLatin1(zub::kStudioAddress)),
                                         QUrl(QString::fromLatin1(zub::kMorviAddress))}));
}

TEST(ShowInFileManager, AsksTheFileManagerToShowTheFileSelected) {
  PrivateBus bus;
  if (!bus.ok())
    GTEST_SKIP() << "no dbus-daemon";
  QDBusConnection connection = bus.connect();
  ASSERT_TRUE(connection.isConnected());
  FakeFileManager manager;
  ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.FileManager1")));
  ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                        QDBusConnection::ExportAllSlots));
  UrlCatcher catcher{"file"};

  const QString path = QStringLiteral("/tmp/my codes/二维码 1.bmp");
  zub::desktop::ShowInFileManager(path, connection);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !manager.shown.isEmpty(); }, 10000));
  EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)});
  EXPECT_TRUE(manager.shown[0].startsWith(QStringLiteral("file:///tmp/my%20codes/")));
  QTest::qWait(50);
  EXPECT_TRUE(catcher.opened.isEmpty());
}

TEST(ShowInFileManager, OpensTheFolderWhenNoFileManagerAnswers) {
  UrlCatcher catcher{"file"};
  const QString path = QStringLiteral("/tmp/my codes/二维码");
  // No bus at all.
  zub::desktop::ShowInFileManager(path, QDBusConnection(QStringLiteral("not connected")));
  EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/my codes"))});

  // A bus without a file manager on it.
  PrivateBus bus;
  if (!bus.ok())
    GTEST_SKIP() << "no dbus-daemon";
  zub::desktop::ShowInFileManager(path, bus.connect());
  ASSERT_TRUE(QTest::qWaitFor([&] { return catcher.opened.size() == 2; }, 10000));
  EXPECT_EQ(catcher.opened[1], QUrl::fromLocalFile(QStringLiteral("/tmp/my codes")));
}

#include "DesktopTest.moc"
