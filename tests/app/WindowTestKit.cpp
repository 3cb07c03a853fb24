#include "tests/app/WindowTestKit.h"

#include <QClipboard>
#include <QTest>

namespace vidorant::testing {

void TMessageReader::Answer() {
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* message = qobject_cast<TMessageWindow*>(modal)) {
    QApplication::clipboard()->clear();
    QTest::keyClick(message, Qt::Key_C, Qt::ControlModifier);
    Seen.push_back({message->windowTitle(), message->Text(), QApplication::clipboard()->text()});
    message->accept();
  } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    Seen.push_back({box->windowTitle(), box->text(), QString()});
    box->done(0);
  }
}

}  // namespace vidorant::testing
