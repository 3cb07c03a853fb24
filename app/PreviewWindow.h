// The window in which a running task shows its current picture: always on top, a tool window
// with only a close button, centred on the screen with a client area the picture's size, its
// caption the picture's time. Dragging the picture moves the window. Closing it tells the task
// to stop previewing; it stays closed.
// Threads: made, shown and freed on the main thread only (the engine's previewer sees to it).
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "engine/runtime/Previewer.h"

namespace vidorant {

class TPreviewWidget : public QWidget {
  Q_OBJECT
public:
  TPreviewWidget();
  void SetPicture(QImage picture);
  bool Closed() const { return FClosed; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  QImage FPicture;
  bool FClosed = false;
};

class TQtPreviewWindow : public TPreviewWindow {
public:
  TQtPreviewWindow();
  void Show(const TBitmap& picture, const std::string& caption) override;
  bool Closed() const override { return FWidget->Closed(); }
  QWidget& Widget() { return *FWidget; }

private:
  std::unique_ptr<TPreviewWidget> FWidget;  // a top-level window, owned here
  bool FShown = false;
};

// The picture as a Qt image (24 and 32 bits BGR, 8 bits through its colour table); a picture of
// another format gives a null image.
QImage BitmapToImage(const TBitmap& picture);

}  // namespace vidorant
