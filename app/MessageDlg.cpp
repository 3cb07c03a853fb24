#include "app/MessageDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vidorant {

namespace {
const QString Dashes = QStringLiteral("---------------------------");
// Room a title bar needs beside the caption for its icon and close button, in pixels.
constexpr int TitleBarExtra = 120;
}  // namespace

TMessageWindow::TMessageWindow(QWidget* parent, const QString& caption, const QString& text)
    : QDialog(parent), FText(text) {
  setWindowTitle(caption);
  setModal(true);

  auto* icon = new QLabel(this);
  const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(iconSize, iconSize));
  icon->setAlignment(Qt::AlignTop);
  auto* message = new QLabel(text, this);
  message->setObjectName(QStringLiteral("message"));
  message->setTextFormat(Qt::PlainText);
  message->setWordWrap(false);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Horizontal, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  for (QAbstractButton* button : buttons->buttons()) {
    FButtonCaptions.append(button->text().remove(QLatin1Char('&')));
  }
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);

  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addWidget(message, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // A long caption widens the window so that the title is not cut.
  const int titleWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(caption);
  setMinimumWidth(titleWidth + TitleBarExtra);
}

QString TMessageWindow::ClipboardText() const {
  const QString lineEnd = QStringLiteral("\r\n");
  return Dashes + lineEnd + windowTitle() + lineEnd + Dashes + lineEnd + FText + lineEnd + Dashes + lineEnd +
         FButtonCaptions.join(QStringLiteral("   ")) + lineEnd + Dashes;
}

void TMessageWindow::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    QApplication::clipboard()->setText(ClipboardText());
    return;
  }
  QDialog::keyPressEvent(event);
}

void TMessageDlg::Execute() {
  TMessageWindow window(FOwner, Caption, Text);
  window.exec();
}

}  // namespace vidorant
