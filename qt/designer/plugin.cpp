// The Qt Designer plugin: QbBarCode and QbDBBarcode in the widget box group
// "Orlenvo", with the component package's palette bitmaps as their icons.
#include "qbarcode/package.h"
#include "qbarcode/qbdbbarcode.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <cstring>
#include <functional>

using namespace qb;

namespace qbqt {

/// A palette bitmap of the component package ("TBARCODE", "TDBBARCODE"): a
/// device-independent bitmap, read as the BMP file it is the body of.
QIcon PaletteIcon(const char* name)
{
    const TResourceTable* table = GetPackageResources();
    for (int i = 0; i < table->Count; ++i) {
        const TResourceInfo& r = table->Items[i];
        if (std::strcmp(r.Name, name) != 0 || std::strcmp(r.Type, "BITMAP") != 0)
            continue;
        // The file header: "BM", the file's size, two reserved words, and
        // where the pixels start (after the info header and colour table).
        const quint32 infoSize = r.Data[0] | r.Data[1] << 8 | r.Data[2] << 16 | quint32(r.Data[3]) << 24;
        const quint32 fileSize = 14 + static_cast<quint32>(r.Size), pixels = 14 + infoSize + 256 * 4;
        QByteArray file("BM", 2);
        for (quint32 v : {fileSize, quint32{0}, pixels})
            for (int b = 0; b < 4; ++b)
                file.append(static_cast<char>(v >> (8 * b)));
        file.append(reinterpret_cast<const char*>(r.Data), static_cast<qsizetype>(r.Size));
        return QIcon(QPixmap::fromImage(QImage::fromData(file, "BMP")));
    }
    return {};
}

/// One widget of the collection.
class WidgetInterface : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    struct Description {
        QString name, include, toolTip, whatsThis, domXml;
        const char* bitmap;
        std::function<QWidget*(QWidget*)> create;
    };
    WidgetInterface(Description d, QObject* parent) : QObject(parent), d_(std::move(d)) {}

    QString name() const override { return d_.name; }
    QString group() const override { return QStringLiteral("Orlenvo"); }
    QIcon icon() const override { return PaletteIcon(d_.bitmap); }
    QString toolTip() const override { return d_.toolTip; }
    QString whatsThis() const override { return d_.whatsThis; }
    QString includeFile() const override { return d_.include; }
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* parent) override { return d_.create(parent); }
    QString domXml() const override { return d_.domXml; }
    bool isInitialized() const override { return initialized_; }
    void initialize(QDesignerFormEditorInterface*) override { initialized_ = true; }

private:
    Description d_;
    bool initialized_ = false;
};

// What a new widget dropped on a form starts with: an EAN-13 sample with
// its caption, at a size that shows it whole.
QString InitialXml(const QString& cls, const QString& name)
{
    return QStringLiteral(R"(<ui language="c++" displayname="%1">
 <widget class="%1" name="%2">
  <property name="geometry"><rect><x>0</x><y>0</y><width>230</width><height>90</height></rect></property>
  <property name="BarType"><enum>qb::QbBarCode::bcCodeEAN13</enum></property>
  <property name="BarCode"><string>4006381333931</string></property>
  <property name="Modul"><number>2</number></property>
  <property name="TextShow"><enum>qb::QbBarCode::tsBarCode</enum></property>
 </widget>
</ui>
)")
        .arg(cls, name);
}

/// The plugin: both widgets.
class Collection : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit Collection(QObject* parent = nullptr) : QObject(parent)
    {
        widgets_.append(new WidgetInterface(
            {QStringLiteral("qb::QbBarCode"), QStringLiteral("qbarcode/qbbarcode.h"),
             QStringLiteral("A linear barcode in 23 symbologies"),
             QStringLiteral("Shows one barcode (EAN, UPC, Code 128, Code 39, Code 93, 2 of 5, Codabar, MSI, "
                            "PostNet) with an optional caption."),
             InitialXml(QStringLiteral("qb::QbBarCode"), QStringLiteral("barCode")), "TBARCODE",
             [](QWidget* parent) -> QWidget* { return new QbBarCode(parent); }},
            this));
        widgets_.append(new WidgetInterface(
            {QStringLiteral("qb::QbDBBarcode"), QStringLiteral("qbarcode/qbdbbarcode.h"),
             QStringLiteral("A barcode that shows a column of the current record"),
             QStringLiteral("A barcode whose text follows the DataField column of the model its DataSource, a "
                            "QDataWidgetMapper, moves through."),
             InitialXml(QStringLiteral("qb::QbDBBarcode"), QStringLiteral("dbBarcode")), "TDBBARCODE",
             [](QWidget* parent) -> QWidget* {
                 auto* w = new QbDBBarcode(parent);
                 w->setDesigning(true);
                 return w;
             }},
            this));
    }

    QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return widgets_; }

private:
    QList<QDesignerCustomWidgetInterface*> widgets_;
};

} // namespace qbqt

#include "plugin.moc"
