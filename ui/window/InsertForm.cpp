// "插入…": the text of a filled form goes into the text box.

#include "MainWindow.h"

#include "FormDialog.h"
#include "OptionWords.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace zub {

void MainWindow::insertForm() {
  resetFaces(); // the title-bar faces stay idle while the dialog is open
  FormDialog dialog(this);
  if (services.runDialog(dialog) != QDialog::Accepted)
    return;
  const QString text = dialog.text();
  // One step of the text box's own history, so Ctrl+Z brings back what
  // was there: nothing typed is lost.
  QTextCursor cursor(messageEdit_->document());
  cursor.select(QTextCursor::Document);
  cursor.insertText(text);
  messageEdit_->setFocus();
  // Phones read these texts as UTF-8: a Chinese network name in GBK would
  // join no network.
  const bool ascii =
      std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
  if (options_.encoding == TextEncoding::Ansi && !ascii) {
    CodeOptions utf8 = options_;
    utf8.encoding = TextEncoding::Utf8;
    setOptions(utf8);
    showChangeNote(QStringLiteral("插入的内容以 UTF-8 写出，文字编码已改为“") +
                   OptionItemWords(OptionList::Encoding, options_) + QStringLiteral("”"));
  }
}

} // namespace zub
