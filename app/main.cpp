// The converter's window program. It reads no arguments.
#include <QApplication>

#include "app/FFConversionEngine.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return vidorant::RunVidorant(vidorant::DefaultStartupPlaces(),
                               [] { return std::make_unique<vidorant::TFFConversionEngine>(); });
}
