#include <QApplication>

#include "app/ui/StartUp.h"
#include "support/ui/RealAnswerer.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TRealAnswerer answerer;
    SetAnswerer(&answerer);
    return RunProgram(app);
}
