#pragma once

#include "Dialogs.h"
#include "MainWindow.h"
#include "ScriptedWindow.h"
#include "SingleInstance.h"

#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

// A main window whose desktop is scripted (test::ScriptedDesktop): message
// boxes, popups, the foreground and pointer queries and the way out are
// recorded, settings and the instance lock live in a scratch folder.
class FormTest : public ::testing::Test, public zub::test::ScriptedDesktop {
protected:
  void SetUp() override;
  void TearDown() override;

  // load with a fresh lock of our own; the window is then shown.
  void LoadAndShow();

  // The faces of minimiseButton_, menuButton_ and closeButton_ as "idle/hover/pressed" words.
  QString faces() const;

  // The stored position values, empty when missing.
  QString stored(const char *key) const;
  void store(const std::vector<std::pair<const char *, QString>> &values) const;

  QTemporaryDir dir;
  std::unique_ptr<zub::MainWindow> form;
  std::unique_ptr<zub::SingleInstance> instance;
};

using zub::test::VisibleEntries;

// Sends a synthetic mouse event straight to `widget` (local position).
void SendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held,
               QPoint at = QPoint(5, 5));
