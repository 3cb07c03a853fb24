// The window's edits that check their text when the user leaves them. Qt's own edits correct or
// swallow some texts before any handler sees them (a spin box puts back its last number when it
// is left empty), so these report the leaving first, with the text exactly as the user left it.
#pragma once

#include <QLineEdit>
#include <QSpinBox>
#include <functional>

namespace vidorant {

// A numeric spin edit, step 1, without limits, whose text can be read and set as text.
class TSpinEdit : public QSpinBox {
  Q_OBJECT
public:
  explicit TSpinEdit(QWidget* parent);
  QString Text() const { return text(); }
  // Sets the text as given, as if typed; the text-change handlers run.
  void SetText(const QString& text);

signals:
  // Before the spin box interprets the text it is left with.
  void Exited();

protected:
  void focusOutEvent(QFocusEvent* event) override;
};

// A text edit whose typed characters pass a filter first, the way a key-press handler may
// discard a key: Backspace comes as 8, Enter as 13, characters by their code. Keys that type no
// character (arrows, Delete) always pass.
class TFilteredEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TFilteredEdit(QWidget* parent) : QLineEdit(parent) {}
  std::function<bool(int keyCode)> AcceptKey;

signals:
  void Exited();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace vidorant
