#include "app/AboutWindow.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace vidorant {

namespace {
const char* const WebSite = "https://vidorant.example.org/";
const char* const SupportMail = "support@vidorant.example.org";

QLabel* LinkLabel(QWidget* parent, const QString& text, const QString& url) {
  auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped()), parent);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  QObject::connect(label, &QLabel::linkActivated, [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
  return label;
}
}  // namespace

TAboutWindow::TAboutWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Vidorant"));
  auto* layout = new QVBoxLayout(this);
  auto* product = new QLabel(QStringLiteral("Vidorant V3.3"), this);
  QFont bold = product->font();
  bold.setBold(true);
  product->setFont(bold);
  layout->addWidget(product);
  layout->addWidget(LinkLabel(this, QStringLiteral("Web site: %1").arg(QLatin1String(WebSite)), QLatin1String(WebSite)));
  layout->addWidget(LinkLabel(this, QStringLiteral("Support: %1").arg(QLatin1String(SupportMail)),
                              QStringLiteral("mailto:%1").arg(QLatin1String(SupportMail))));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Horizontal, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace vidorant
