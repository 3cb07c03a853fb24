#include "app/PreviewWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace vidorant {

QImage BitmapToImage(const TBitmap& picture) {
  const int width = picture.Width();
  const int height = picture.Height();
  QImage image;
  switch (picture.PixelFormat()) {
    case pf24bit:
      image = QImage(width, height, QImage::Format_BGR888);
      break;
    case pf32bit:
      image = QImage(width, height, QImage::Format_RGB32);  // B, G, R, unused in memory order
      break;
    case pf8bit: {
      image = QImage(width, height, QImage::Format_Indexed8);
      QList<QRgb> colours;
      for (const TRGBQuad& entry : picture.ColorTable()) {
        colours.append(qRgb(entry.Red, entry.Green, entry.Blue));
      }
      image.setColorTable(colours);
      break;
    }
    default:
      return QImage();
  }
  const int rowBytes = width * picture.BitsPerPixel() / 8;
  for (int row = 0; row < height; ++row) {
    std::copy_n(picture.ScanLine(row), rowBytes, image.scanLine(row));
  }
  return image;
}

TPreviewWidget::TPreviewWidget()
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {}

void TPreviewWidget::SetPicture(QImage picture) {
  FPicture = std::move(picture);
  update();
}

void TPreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, FPicture);
}

void TPreviewWidget::mousePressEvent(QMouseEvent* event) {
  // The picture stands for the title bar: a press on it starts moving the window.
  if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
    windowHandle()->startSystemMove();
    return;
  }
  QWidget::mousePressEvent(event);
}

void TPreviewWidget::closeEvent(QCloseEvent* event) {
  FClosed = true;
  event->accept();
}

TQtPreviewWindow::TQtPreviewWindow() : FWidget(std::make_unique<TPreviewWidget>()) {}

void TQtPreviewWindow::Show(const TBitmap& picture, const std::string& caption) {
  if (FWidget->Closed()) {
    return;
  }
  FWidget->setWindowTitle(QString::fromStdString(caption));
  FWidget->SetPicture(BitmapToImage(picture));
  FWidget->setFixedSize(picture.Width(), picture.Height());
  if (!FShown) {
    FShown = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      FWidget->move(screen->availableGeometry().center() - FWidget->rect().center());
    }
    FWidget->show();
  }
}

}  // namespace vidorant
