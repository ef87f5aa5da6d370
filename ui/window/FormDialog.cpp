#include "FormDialog.h"

#include "PayloadWords.h"
#include "Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace zub {

namespace {

std::string Utf8(const QLineEdit *edit) {
  return edit->text().toStdString();
}

std::string Utf8(const QPlainTextEdit *edit) {
  return edit->toPlainText().toStdString();
}

EventTime TimeOf(const QDateTimeEdit *edit) {
  const QDateTime t = edit->dateTime();
  return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute()};
}

// A page of the stack: a form of labelled rows at its top.
QFormLayout *AddPage(QStackedWidget *pages) {
  auto *page = new QWidget(pages);
  auto *column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  auto *rows = new QFormLayout;
  rows->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  rows->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
  rows->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  column->addLayout(rows);
  column->addStretch(1);
  pages->addWidget(page);
  return rows;
}

QLineEdit *Line(QFormLayout *rows, const QString &label, const QString &hint = QString()) {
  auto *edit = new QLineEdit;
  edit->setPlaceholderText(hint);
  rows->addRow(label, edit);
  return edit;
}

QPlainTextEdit *Lines(QFormLayout *rows, const QString &label) {
  auto *edit = new QPlainTextEdit;
  edit->setTabChangesFocus(true);
  edit->setFixedHeight(edit->fontMetrics().lineSpacing() * 3 + 12);
  rows->addRow(label, edit);
  return edit;
}

QDateTimeEdit *When(QFormLayout *rows, const QString &label, const QDateTime &at) {
  auto *edit = new QDateTimeEdit(at);
  edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
  edit->setCalendarPopup(true);
  rows->addRow(label, edit);
  return edit;
}

} // namespace

FormDialog::FormDialog(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormDialog"));
  setWindowTitle(QStringLiteral("插入内容"));
  setWindowIcon(ApplicationIcon());
  // The skin dresses the window's own text box in its light colours; here
  // the text boxes take the theme's, as the dialog's line edits do.
  setStyleSheet(
      QStringLiteral("QPlainTextEdit { color: palette(text); background-color: palette(base);"
                     " border: 1px solid palette(mid); selection-color: palette(highlighted-text);"
                     " selection-background-color: palette(highlight); }"
                     "QPlainTextEdit:focus { border: 1px solid palette(highlight); }"));

  kinds = new QListWidget;
  kinds->setObjectName(QStringLiteral("formKinds"));
  kinds->addItems({QStringLiteral("Wi-Fi 网络"), QStringLiteral("名片"), QStringLiteral("电话"),
                   QStringLiteral("短信"), QStringLiteral("邮件"), QStringLiteral("位置"),
                   QStringLiteral("日程")});
  kinds->setSpacing(3);
  kinds->setFixedWidth(kinds->sizeHintForColumn(0) + 2 * kinds->frameWidth() + 24);
  pages = new QStackedWidget;

  QFormLayout *rows = AddPage(pages);
  wifi.name = Line(rows, QStringLiteral("网络名称："), QStringLiteral("SSID，区分大小写"));
  wifi.security = new QComboBox;
  wifi.security->addItems(
      {QStringLiteral("WPA/WPA2/WPA3"), QStringLiteral("WEP"), QStringLiteral("无加密")});
  rows->addRow(QStringLiteral("加密方式："), wifi.security);
  wifi.password = Line(rows, QStringLiteral("密码："));
  wifi.hidden = new QCheckBox(QStringLiteral("隐藏的网络（不广播名称）"));
  rows->addRow(QString(), wifi.hidden);

  rows = AddPage(pages);
  contact.name = Line(rows, QStringLiteral("姓名："));
  contact.phone = Line(rows, QStringLiteral("电话："), QStringLiteral("例如 138 0013 8000"));
  contact.email = Line(rows, QStringLiteral("邮箱："), QStringLiteral("例如 name@example.com"));
  contact.organisation = Line(rows, QStringLiteral("单位："));
  contact.address = Line(rows, QStringLiteral("地址："));
  contact.url = Line(rows, QStringLiteral("网址："), QStringLiteral("例如 https://example.com"));
  contact.note = Lines(rows, QStringLiteral("备注："));

  rows = AddPage(pages);
  phoneNumber = Line(rows, QStringLiteral("电话号码："), QStringLiteral("例如 +86 10 1234 5678"));

  rows = AddPage(pages);
  sms.number = Line(rows, QStringLiteral("电话号码："));
  sms.message = Lines(rows, QStringLiteral("短信内容："));

  rows = AddPage(pages);
  mail.address = Line(rows, QStringLiteral("收件人："), QStringLiteral("例如 name@example.com"));
  mail.subject = Line(rows, QStringLiteral("主题："));
  mail.body = Lines(rows, QStringLiteral("正文："));

  rows = AddPage(pages);
  place.latitude = Line(rows, QStringLiteral("纬度："), QStringLiteral("例如 39.9087（北纬为正）"));
  place.longitude =
      Line(rows, QStringLiteral("经度："), QStringLiteral("例如 116.3975（东经为正）"));

  rows = AddPage(pages);
  event.title = Line(rows, QStringLiteral("标题："));
  // The next full hour, for an hour.
  QDateTime start = QDateTime::currentDateTime().addSecs(3600);
  start.setTime(QTime(start.time().hour(), 0));
  event.start = When(rows, QStringLiteral("开始："), start);
  event.end = When(rows, QStringLiteral("结束："), start.addSecs(3600));
  event.location = Line(rows, QStringLiteral("地点："));
  event.description = Lines(rows, QStringLiteral("说明："));

  problem = new QLabel;
  problem->setObjectName(QStringLiteral("formProblem"));
  problem->setWordWrap(true);
  // Its line is kept while the form has no problem, so nothing jumps.
  problem->setMinimumHeight(problem->fontMetrics().lineSpacing() + 4);
  preview = new QPlainTextEdit;
  preview->setObjectName(QStringLiteral("formPreview"));
  preview->setReadOnly(true);
  preview->setTabChangesFocus(true);
  preview->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  preview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  preview->setFixedHeight(preview->fontMetrics().lineSpacing() * 4 + 12);
  preview->setAccessibleName(QStringLiteral("将插入的文字"));

  auto *buttons = new QDialogButtonBox;
  insertButton = buttons->addButton(QStringLiteral("插入"), QDialogButtonBox::AcceptRole);
  insertButton->setDefault(true);
  buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto *form = new QHBoxLayout;
  form->addWidget(kinds);
  form->addWidget(pages, 1);
  auto *all = new QVBoxLayout(this);
  all->addLayout(form);
  all->addWidget(new QLabel(QStringLiteral("将插入的文字：")));
  all->addWidget(preview);
  all->addWidget(problem);
  all->addWidget(buttons);

  connect(kinds, &QListWidget::currentRowChanged, pages, &QStackedWidget::setCurrentIndex);
  connect(kinds, &QListWidget::currentRowChanged, this, &FormDialog::check);
  for (QLineEdit *edit : findChildren<QLineEdit *>())
    if (edit->parent() != event.start && edit->parent() != event.end)
      connect(edit, &QLineEdit::textChanged, this, &FormDialog::check);
  for (QPlainTextEdit *edit : {contact.note, sms.message, mail.body, event.description})
    connect(edit, &QPlainTextEdit::textChanged, this, &FormDialog::check);
  for (QDateTimeEdit *edit : {event.start, event.end})
    connect(edit, &QDateTimeEdit::dateTimeChanged, this, &FormDialog::check);
  connect(wifi.hidden, &QCheckBox::toggled, this, &FormDialog::check);
  connect(wifi.security, &QComboBox::currentIndexChanged, this, [this](int index) {
    // An open network has no password: the field rests, keeping what was
    // typed in case the choice was a slip.
    wifi.password->setEnabled(index != 2);
    check();
  });
  kinds->setCurrentRow(Wifi);
  wifi.name->setFocus();
  resize(540, 400);
}

PayloadForm FormDialog::form() const {
  switch (kinds->currentRow()) {
  case Contact:
    return ContactForm{Utf8(contact.name),         Utf8(contact.phone),   Utf8(contact.email),
                       Utf8(contact.organisation), Utf8(contact.address), Utf8(contact.url),
                       Utf8(contact.note)};
  case Phone:
    return PhoneForm{Utf8(phoneNumber)};
  case Sms:
    return SmsForm{Utf8(sms.number), Utf8(sms.message)};
  case Mail:
    return MailForm{Utf8(mail.address), Utf8(mail.subject), Utf8(mail.body)};
  case Place:
    return PlaceForm{Utf8(place.latitude), Utf8(place.longitude)};
  case Event:
    return EventForm{Utf8(event.title), TimeOf(event.start), TimeOf(event.end),
                     Utf8(event.location), Utf8(event.description)};
  default:
    break;
  }
  const int security = wifi.security->currentIndex();
  return WifiForm{Utf8(wifi.name), security == 2 ? std::string() : Utf8(wifi.password),
                  security == 0   ? WifiSecurity::Wpa
                  : security == 1 ? WifiSecurity::Wep
                                  : WifiSecurity::None,
                  wifi.hidden->isChecked()};
}

QString FormDialog::text() const {
  return QString::fromStdString(PayloadText(form()));
}

void FormDialog::check() {
  const std::vector<PayloadProblem> problems = Problems(form());
  insertButton->setEnabled(problems.empty());
  if (problems.empty()) {
    problem->clear();
    preview->setPlainText(text());
    return;
  }
  problem->setText(
      QString::fromStdString(PayloadProblemWords(problems.front(), Language::Chinese)) +
      QStringLiteral("。"));
  preview->clear();
}

} // namespace zub
