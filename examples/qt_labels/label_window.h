// The label window: one product of a SQLite database at a time, its code as
// a data-aware barcode, an editable code field, record navigation and Print.
#pragma once

#include "ui_labels.h"

#include <QPrinter>
#include <QSqlDatabase>
#include <QWidget>

class QDataWidgetMapper;
class QSqlTableModel;

/// Shows the table `products` (code, name) of a database one record at a
/// time. What the user types in the code field goes to the barcode as they
/// type; a code the barcode takes is stored in the record at once, one it
/// refuses is shown as an error and not stored.
class LabelWindow : public QWidget {
    Q_OBJECT

public:
    /// A window over the `products` table of `db` (an open database).
    explicit LabelWindow(const QSqlDatabase& db, QWidget* parent = nullptr);

    /// The printer Print starts from (tests point it at a PDF file).
    QPrinter& printer() { return printer_; }
    /// Paints the label of the current record on one page of `printer`.
    void printLabel(QPrinter& printer);

public Q_SLOTS:
    /// Asks for a printer with QPrintDialog, then prints the current label.
    void print();

private:
    void showRecord();
    void codeEdited(const QString& text);

    Ui::LabelWindow ui_;
    QSqlTableModel* model_;
    QDataWidgetMapper* mapper_;
    QPrinter printer_;
};
