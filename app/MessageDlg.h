// The one way the main window speaks to its user: a modal message with a caption, the
// information icon (whatever the caption says) and one "OK" button. Ctrl+C copies the message
// as text in the layout users paste into bug reports: dashes, caption, dashes, text, dashes,
// the buttons' captions, dashes.
#pragma once

#include <QDialog>
#include <QString>

class QWidget;

namespace vidorant {

// The message window itself, shown modally by TMessageDlg::Execute.
class TMessageWindow : public QDialog {
  Q_OBJECT
public:
  TMessageWindow(QWidget* parent, const QString& caption, const QString& text);
  // The seven lines that Ctrl+C puts on the clipboard, each but the last ended by "\r\n".
  QString ClipboardText() const;
  const QString& Text() const { return FText; }

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  QString FText;
  QStringList FButtonCaptions;
};

// The component the window holds: the caller sets the caption and the text, then executes it.
class TMessageDlg {
public:
  explicit TMessageDlg(QWidget* owner) : FOwner(owner) {}
  QString Caption;
  QString Text;
  // Shows the message modally over the owner and returns when the user has closed it.
  void Execute();

private:
  QWidget* FOwner;  // not owned
};

}  // namespace vidorant
