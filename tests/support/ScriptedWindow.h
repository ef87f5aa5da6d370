#pragma once
// The main window on a scripted desktop, shared by the window's tests:
// message boxes, file dialogs, popups, the foreground and pointer queries,
// the way out and the reveal of a saved file are answered and recorded here.

#include "Dialogs.h"
#include "MainWindow.h"
#include "SingleInstance.h"

#include <QDialog>
#include <QMenu>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zub::test {

// A message box the window showed.
struct Shown {
  MessageIcon icon;
  MessageButtons buttons;
  QString title, text;
};

// What the window's desktop answers, and what it was asked.
struct ScriptedDesktop {
  // Points the services of `form` here; the desktop outlives the form.
  void Serve(MainWindow &form);

  std::vector<Shown> messages;
  MessageAnswer answer = MessageAnswer::No;      // to every yes/no question
  std::optional<QString> logoChoice, saveChoice; // the file dialogs' answers
  std::vector<FileDialogRequest> openRequests, saveRequests;
  std::optional<int> listChoice; // the list choice's answer (nothing: cancelled)
  std::vector<ChoiceRequest> choiceRequests;
  std::vector<QStringList> popups; // the visible entries of each popup
  std::function<void(QMenu *)> duringPopup;
  std::vector<QString> revealed; // saved files shown in the file manager
  // The window's own modal dialogs: how many were run, and what the user
  // does in each (nothing set: closes it, rejected).
  int dialogsRun = 0;
  std::function<int(QDialog &)> duringDialog;
  int quits = 0;
  bool foreground = true;
  QPoint cursor{-10000, -10000};
};

// A main window served by `desktop`, without a page address, its skin looked
// for in `dir` (none there unless a test writes one); not yet loaded.
std::unique_ptr<MainWindow> MakeForm(ScriptedDesktop &desktop, const QTemporaryDir &dir);

// load of `form` with a fresh instance lock in `dir`, then shown and
// exposed; a failure fails the test.
void LoadAndShow(MainWindow &form, std::unique_ptr<SingleInstance> &instance,
                 const QTemporaryDir &dir);

// The main window loaded and shown on a scripted desktop, the sample logo
// saved as `logo` in the scratch folder `dir`.
class ShownWindow : public ::testing::Test, public ScriptedDesktop {
protected:
  void SetUp() override;

  QTemporaryDir dir;
  QString logo;
  std::unique_ptr<MainWindow> form;
  std::unique_ptr<SingleInstance> instance;
};

// Runs `start` and waits until the generation it began has reported.
void FinishGeneration(MainWindow &form, const std::function<void()> &start);

// The visible entries of a menu: captions, "-" for separators.
QStringList VisibleEntries(const QMenu *menu);

} // namespace zub::test
