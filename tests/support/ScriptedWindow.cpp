#include "ScriptedWindow.h"
#include "WindowProbe.h"

#include "TestSupport.h"

#include <QAction>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace zub::test {

void ScriptedDesktop::Serve(MainWindow &form) {
  MainWindow::Services &s = form.services;
  s.dialogs.message = [this](MessageIcon icon, MessageButtons buttons, const QString &title,
                             const QString &text) {
    messages.push_back({icon, buttons, title, text});
    return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
  };
  s.dialogs.openFile = [this](const FileDialogRequest &r) {
    openRequests.push_back(r);
    return logoChoice;
  };
  s.dialogs.saveFile = [this](const FileDialogRequest &r) {
    saveRequests.push_back(r);
    return saveChoice;
  };
  s.dialogs.choose = [this](const ChoiceRequest &r) {
    choiceRequests.push_back(r);
    return listChoice;
  };
  s.isForeground = [this](const QWidget *) { return foreground; };
  s.cursorPos = [this] { return cursor; };
  s.popup = [this](QMenu *menu, const QPoint &) {
    popups.push_back(VisibleEntries(menu));
    if (duringPopup)
      duringPopup(menu);
  };
  s.quit = [this] { ++quits; };
  s.reveal = [this](const QString &path) { revealed.push_back(path); };
  s.runDialog = [this](QDialog &dialog) {
    ++dialogsRun;
    return duringDialog ? duringDialog(dialog) : int(QDialog::Rejected);
  };
}

std::unique_ptr<MainWindow> MakeForm(ScriptedDesktop &desktop, const QTemporaryDir &dir) {
  auto form = std::make_unique<MainWindow>();
  form->services.skinPath = dir.filePath(QStringLiteral("she.she"));
  form->services.pageAddress = QUrl();
  desktop.Serve(*form);
  return form;
}

void LoadAndShow(MainWindow &form, std::unique_ptr<SingleInstance> &instance,
                 const QTemporaryDir &dir) {
  instance = std::make_unique<SingleInstance>(dir.filePath(QStringLiteral("lock")));
  ASSERT_TRUE(form.load(*instance));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
}

void ShownWindow::SetUp() {
  ASSERT_TRUE(dir.isValid());
  logo = dir.filePath(QStringLiteral("logo.png"));
  ASSERT_TRUE(SampleLogo().save(logo));
  form = MakeForm(*this, dir);
  LoadAndShow(*form, instance, dir);
}

void FinishGeneration(MainWindow &form, const std::function<void()> &start) {
  QSignalSpy finished(&form, &MainWindow::generationFinished);
  start();
  ASSERT_TRUE(finished.count() == 1 || finished.wait(60000));
  EXPECT_FALSE(form.generating());
}

QStringList VisibleEntries(const QMenu *menu) {
  QStringList entries;
  for (const QAction *a : menu->actions())
    if (a->isVisible())
      entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return entries;
}

} // namespace zub::test
