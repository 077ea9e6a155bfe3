#include "app/ui/Main.h"

TFMain* FMain = nullptr;

TFMain::TFMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("FMain");
    setWindowTitle("KELVO Data transfer");
}
