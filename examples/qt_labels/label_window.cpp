#include "label_window.h"

#include <QDataWidgetMapper>
#include <QPainter>
#include <QPrintDialog>
#include <QSqlError>
#include <QSqlTableModel>

LabelWindow::LabelWindow(const QSqlDatabase& db, QWidget* parent)
    : QWidget(parent), model_(new QSqlTableModel(this, db)), mapper_(new QDataWidgetMapper(this))
{
    ui_.setupUi(this);
    model_->setTable(QStringLiteral("products"));
    model_->setEditStrategy(QSqlTableModel::OnFieldChange); // each accepted code is stored at once
    model_->select();
    mapper_->setModel(model_);
    mapper_->addMapping(ui_.name, model_->fieldIndex(QStringLiteral("name")), "text");
    ui_.barcode->setDataSource(mapper_); // DataField "code" comes from the form

    connect(ui_.first, &QPushButton::clicked, mapper_, &QDataWidgetMapper::toFirst);
    connect(ui_.previous, &QPushButton::clicked, mapper_, &QDataWidgetMapper::toPrevious);
    connect(ui_.next, &QPushButton::clicked, mapper_, &QDataWidgetMapper::toNext);
    connect(ui_.last, &QPushButton::clicked, mapper_, &QDataWidgetMapper::toLast);
    connect(ui_.print, &QPushButton::clicked, this, &LabelWindow::print);
    connect(mapper_, &QDataWidgetMapper::currentIndexChanged, this, &LabelWindow::showRecord);
    connect(ui_.code, &QLineEdit::textEdited, this, &LabelWindow::codeEdited);
    mapper_->toFirst();
}

void LabelWindow::showRecord()
{
    const int row = mapper_->currentIndex();
    ui_.code->setText(ui_.barcode->BarCode());
    ui_.error->clear();
    ui_.first->setEnabled(row > 0);
    ui_.previous->setEnabled(row > 0);
    ui_.next->setEnabled(row + 1 < model_->rowCount());
    ui_.last->setEnabled(row + 1 < model_->rowCount());
    setWindowTitle(tr("Product labels - %1 of %2").arg(row + 1).arg(model_->rowCount()));
}

void LabelWindow::codeEdited(const QString& text)
{
    ui_.barcode->setBarCode(text);
    QString error = ui_.barcode->lastError();
    if (error.isEmpty() && ui_.barcode->BarCode() != text) // the model refused the write
        error = tr("Not stored: %1").arg(model_->lastError().text());
    ui_.error->setText(error);
}

void LabelWindow::print()
{
    QPrintDialog dialog(&printer_, this);
    dialog.setWindowTitle(tr("Print label"));
    if (dialog.exec() == QDialog::Accepted)
        printLabel(printer_);
}

void LabelWindow::printLabel(QPrinter& printer)
{
    QPainter painter(&printer);
    // The label as it shows, 96 pixels to the inch, from the page's corner:
    // the name above the barcode, vector on every printer.
    const double scale = printer.resolution() / 96.0;
    painter.scale(scale, scale);
    painter.setFont(ui_.name->font());
    painter.drawText(QRect(0, 0, ui_.barcode->width(), 24), Qt::AlignLeft | Qt::AlignVCenter, ui_.name->text());
    painter.translate(0, 32);
    ui_.barcode->paint(painter);
}
