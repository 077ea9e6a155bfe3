#pragma once

#include <QMainWindow>

// The operator's starting point. Closing it ends the program.
class TFMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFMain(QWidget* parent = nullptr);
};

extern TFMain* FMain;
