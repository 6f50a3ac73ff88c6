// dovododuzu-demo [ROOT]: the demo window on a simulated machine (the "default" one laid out in a
// temporary folder unless ROOT names a root laid out with dovododuzu-sim).
#include "demowindow.h"
#include "roz.h"
#include "simstore.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QString root = app.arguments().value(1);
    if (root.isEmpty()) {
        root = dir.filePath(QStringLiteral("root"));
        QString error;
        const QString machine = sim::findMachine(QStringLiteral("default"), QStringLiteral(DOVO_SIM_BINARY));
        if (!sim::layoutRoot(root, machine, QStringLiteral(DOVO_SIM_BINARY), &error)) {
            QMessageBox::critical(nullptr, QStringLiteral("dovododuzu demo"), error);
            return 1;
        }
    }
    setSystemRoot(root);
    // Nothing read yet: the window shows at once and fills as its discovery job ends.
    Roz roz(Roz::Start::Empty);
    DemoWindow window(&roz);
    window.show();
    return app.exec();
}
