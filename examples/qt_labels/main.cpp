// qt_labels: prints product labels from a SQLite database.
//   qt_labels [products.db]     (made by: sqlite3 products.db < scripts/sample-products.sql)
#include "label_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QSqlQuery>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("products.db");
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(file);
    if (!db.open() || !db.tables().contains(QStringLiteral("products"))) {
        QMessageBox::critical(nullptr, QStringLiteral("qt_labels"),
                              QStringLiteral("%1 holds no table 'products'.").arg(file));
        return 1;
    }
    LabelWindow window(db);
    window.show();
    return app.exec();
}
