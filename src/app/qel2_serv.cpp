// The entry of qel2_serv: the main window with its start-up work, then the message loop.

#include "app/main.h"
#include "widgets/appoperator.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    AppOperator op;
    Operator* previous = InstallOperator(&op);

    {
        TFormMain window(QApplication::arguments());
        if (window.FormCreate()) {
            window.show();
            QApplication::exec();
        }
    }

    InstallOperator(previous);
    return 0;
}
