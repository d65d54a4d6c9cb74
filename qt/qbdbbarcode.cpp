// QbDBBarcode: the binding to a mapper's model, and the writer of BarCode that
// goes through it.
#include "qbarcode/qbdbbarcode.h"

#include <QAbstractItemModel>

namespace qb {

namespace {

// The control's own checks of a text, on a copy of its settings: the
// numeric check of its writer, then the symbology's.
struct TextCheck : TBarCode {
    TextCheck() : TBarCode(nullptr) {}
    using TBarCode::CheckBarCode;
};

} // namespace

QbDBBarcode::QbDBBarcode(QWidget* parent) : QbBarCode(parent) {}

QbDBBarcode::~QbDBBarcode()
{
    if (mapper_)
        mapper_->removeMapping(this);
}

QString QbDBBarcode::BarCode() const
{
    return QbBarCode::BarCode();
}

QString QbDBBarcode::DataField() const
{
    return dataField_;
}

void QbDBBarcode::setDataField(const QString& value)
{
    dataField_ = value;
    Rebind();
}

QDataWidgetMapper* QbDBBarcode::DataSource() const
{
    return mapper_;
}

void QbDBBarcode::setDataSource(QDataWidgetMapper* value)
{
    if (mapper_ == value)
        return;
    if (mapper_)
        mapper_->removeMapping(this);
    mapper_ = value;
    Rebind();
}

bool QbDBBarcode::ReadOnly() const
{
    return readOnly_;
}

void QbDBBarcode::setReadOnly(bool value)
{
    readOnly_ = value;
}

void QbDBBarcode::resetReadOnly()
{
    setReadOnly(false);
}

int QbDBBarcode::Section() const
{
    const QAbstractItemModel* model = mapper_ ? mapper_->model() : nullptr;
    if (!model || dataField_.isEmpty())
        return -1;
    // Field names compare as the library's do: without regard to case.
    const Qt::Orientation headers =
        mapper_->orientation() == Qt::Horizontal ? Qt::Horizontal : Qt::Vertical; // sections are columns or rows
    const int count =
        headers == Qt::Horizontal ? model->columnCount(mapper_->rootIndex()) : model->rowCount(mapper_->rootIndex());
    for (int section = 0; section < count; ++section)
        if (model->headerData(section, headers).toString().compare(dataField_, Qt::CaseInsensitive) == 0)
            return section;
    return -1;
}

void QbDBBarcode::Rebind()
{
    if (!mapper_)
        return;
    mapper_->removeMapping(this);
    const int section = Section();
    if (section >= 0) {
        mapper_->addMapping(this, section);
        Accept();
    } else if (mapper_->model() && !dataField_.isEmpty()) {
        Refuse(QStringLiteral("Field '%1' not found").arg(dataField_));
    }
}

QModelIndex QbDBBarcode::cell() const
{
    const int section = Section();
    if (section < 0 || mapper_->currentIndex() < 0)
        return {};
    const QAbstractItemModel* model = mapper_->model();
    const int record = mapper_->currentIndex();
    return mapper_->orientation() == Qt::Horizontal ? model->index(record, section, mapper_->rootIndex())
                                                    : model->index(section, record, mapper_->rootIndex());
}

void QbDBBarcode::setBarCode(const QString& value)
{
    if (designing_) {
        QbBarCode::setBarCode(value);
        return;
    }
    const QModelIndex at = cell();
    if (!at.isValid())
        return; // nothing bound: dropped
    if (value == at.data(Qt::EditRole).toString()) {
        QbBarCode::setBarCode(value); // the record's own text (the mapper shows each record so)
        return;
    }
    if (readOnly_ || !(at.flags() & Qt::ItemIsEditable))
        return; // a read-only binding keeps showing the record
    // Nothing the control would refuse reaches the record.
    std::string text;
    if (!ToControlText(value, text))
        return;
    const bool valid = Apply([&] {
        TextCheck check;
        check.Assign(&control());
        check.CheckBarCode(text);
        // Raises for a text the symbology cannot encode.
        check.Q_GetBarWidth(check.BarType(), text, check.Modul(), check.Ratio(), check.CheckSum());
    });
    if (!valid)
        return;
    if (!mapper_->model()->setData(at, value, Qt::EditRole)) {
        Refuse(QStringLiteral("The model did not take '%1'").arg(value));
        return;
    }
    QbBarCode::setBarCode(value);
}

} // namespace qb
