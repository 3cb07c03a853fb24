// The about window: the product and its version, the web site and the support address, each a
// link the system opens with the user's browser or mail program.
#pragma once

#include <QDialog>

namespace vidorant {

class TAboutWindow : public QDialog {
  Q_OBJECT
public:
  explicit TAboutWindow(QWidget* parent);
};

}  // namespace vidorant
