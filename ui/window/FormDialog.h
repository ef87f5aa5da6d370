#pragma once

#include "Payload.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace zub {

// "插入内容": a form for each kind of text phones act on (a Wi-Fi network, a
// contact card, a phone number, a text message, a mail, a place, an event),
// one entry of the list on the left each. What the chosen form would insert
// is shown below it as it is typed; a problem of the form is said in plain
// Chinese instead, and "插入" waits until there is none. Nothing typed here
// is kept: each dialog starts empty, and no field is stored in the settings.
class FormDialog : public QDialog {
  Q_OBJECT

public:
  // The kinds, in the order of the list.
  enum Kind { Wifi, Contact, Phone, Sms, Mail, Place, Event };

  explicit FormDialog(QWidget *parent = nullptr);

  // The form of the kind shown, as filled in.
  PayloadForm form() const;
  // Its text, to go into the text box; meant for a form without problems.
  QString text() const;

  // The controls, for whoever fills the form (the tests).
  QListWidget *kinds = nullptr;
  QStackedWidget *pages = nullptr;
  struct {
    QLineEdit *name = nullptr;
    QComboBox *security = nullptr; // WPA, WEP, none
    QLineEdit *password = nullptr;
    QCheckBox *hidden = nullptr;
  } wifi;
  struct {
    QLineEdit *name = nullptr, *phone = nullptr, *email = nullptr, *organisation = nullptr,
              *address = nullptr, *url = nullptr;
    QPlainTextEdit *note = nullptr;
  } contact;
  QLineEdit *phoneNumber = nullptr;
  struct {
    QLineEdit *number = nullptr;
    QPlainTextEdit *message = nullptr;
  } sms;
  struct {
    QLineEdit *address = nullptr, *subject = nullptr;
    QPlainTextEdit *body = nullptr;
  } mail;
  struct {
    QLineEdit *latitude = nullptr, *longitude = nullptr;
  } place;
  struct {
    QLineEdit *title = nullptr;
    QDateTimeEdit *start = nullptr, *end = nullptr;
    QLineEdit *location = nullptr;
    QPlainTextEdit *description = nullptr;
  } event;
  QLabel *problem = nullptr;         // the first problem of the form, or nothing
  QPlainTextEdit *preview = nullptr; // the text it would insert
  QPushButton *insertButton = nullptr;

private:
  // Checks the form shown and says what is wrong or what it would insert.
  void check();
};

} // namespace zub
