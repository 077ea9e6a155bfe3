// Pictures of the windows for the README: the demo's main window, and its progress window in the
// middle of a direct-mode run.
//   scripts/screenshots            (under Xvfb when there is no display; writes docs/*.png)
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTimer>
#include <cstdio>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "fixtures/TestEnv.h"
#include "flows/ui/Flow.h"
#include "platform/ProgramDir.h"
#include "support/Answerer.h"
#include "transfer/ui/Transfer.h"
#include "translations/ui/Translation.h"

namespace {

// The login prompt of the destination is answered; anything else is printed and declined.
class TShotAnswerer : public TAnswerer {
public:
    int MessageDialog(const QString& text, TMsgDlgType, TMsgDlgButtons, int, int, int) override {
        std::fprintf(stderr, "question: %s\n", qPrintable(text));
        return mrNo;
    }
    void PlainMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool InputText(const QString&, const QString&, QString&) override { return false; }
    bool SaveFileName(const TSaveDialogRequest&, QString&) override { return false; }
    bool Login(const QString&, QString&, QString&) override { return true; }
    bool ShellOpen(const QString&) override { return false; }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}

void Save(QWidget* window, const QString& path) {
    if (!window->grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    TestEnv::Prepare();
    QApplication app(argc, argv);
    const QString out = argc > 1 ? argv[1] : "docs";
    QDir().mkpath(out);

    TTempProgramDir dir;
    const QString demo = KELVO_DEMO_DIR;
    for (const QString& name : QDir(demo + "/Files").entryList(QDir::Files))
        dir.WriteFile("Files/" + name, ReadAll(demo + "/Files/" + name));
    dir.WriteFile("TransferSettings.ini", "[GENERAL]\r\nSCRIPTING=N\r\n");
    TestEnv::ResetSqlite("XQ");
    TestEnv::ResetSqlite("DnsDest");
    ExecOn("XQ", QString::fromUtf8(ReadAll(demo + "/source.sql")));
    ExecOn("DnsDest", QString::fromUtf8(ReadAll(demo + "/dest.sql")));

    TShotAnswerer answerer;
    SetAnswerer(&answerer);
    TD data;
    D = &data;
    TFMain main;
    FMain = &main;
    main.show();
    main.Filter->setText("P-2024");
    QApplication::processEvents();
    Save(&main, out + "/main-window.png");

    // The editors, each grabbed during its modal run and then cancelled.
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<TFTranslation*>(QApplication::activeModalWidget());
        Save(editor, out + "/translation-editor.png");
        editor->reject();
    });
    QString translation = "STATUSI";
    (new TFTranslation())->EditTranslation(translation);
    QTimer::singleShot(0, [&] {
        auto* wizard = qobject_cast<TFFlow*>(QApplication::activeModalWidget());
        for (int page = 0; page < wizard->Pages->count(); ++page) {
            wizard->Pages->setCurrentIndex(page);
            Save(wizard, out + QString("/flow-wizard-%1.png").arg(page + 1));
        }
        wizard->reject();
    });
    QString flow = "NAROCILA";
    (new TFFlow())->OpenForEdit(flow);

    bool taken = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!taken && FTransfer && FTransfer->isVisible() &&
            FTransfer->findChild<QLabel*>("LRecords")->text().startsWith("Record 3/")) {
            // A label's new text may still wait for its paint (at most 33 ms); the picture shows it.
            for (QLabel* label : FTransfer->findChildren<QLabel*>())
                label->setUpdatesEnabled(true);
            Save(FTransfer, out + "/transfer-window.png");
            taken = true;
        }
    });
    timer.start(0);
    main.RunAllClick();
    FMain = nullptr;
    D = nullptr;
    return taken ? 0 : 1;
}
