// A Qt application built against the installed widgets: the example form
// compiled by uic, its barcode grabbed into a PNG file.
#include "ui_labels.h"

#include <QApplication>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    QApplication app(argc, argv);
    QWidget window;
    Ui::LabelWindow ui;
    ui.setupUi(&window);
    ui.barcode->setDesigning(true); // no database here: the text is the widget's own
    ui.barcode->setBarCode(QStringLiteral("590123412345"));
    return ui.barcode->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
