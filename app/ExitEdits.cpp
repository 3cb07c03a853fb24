#include "app/ExitEdits.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <climits>

namespace vidorant {

namespace {
// The user left the edit for another control. A message or menu taking the window's focus
// for a while is no leaving: the focus comes back to the edit.
bool UserLeft(const QFocusEvent* event) {
  return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}
}  // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
  setRange(INT_MIN, INT_MAX);
  setSingleStep(1);
  setValue(0);
}

void TSpinEdit::SetText(const QString& text) {
  lineEdit()->setText(text);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
  if (UserLeft(event)) {
    emit Exited();
  }
  QSpinBox::focusOutEvent(event);
}

void TFilteredEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  if (AcceptKey && !typed.isEmpty() && event->key() != Qt::Key_Delete) {
    if (!AcceptKey(typed.at(0).unicode())) {
      event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

void TFilteredEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (UserLeft(event)) {
    emit Exited();
  }
}

}  // namespace vidorant
