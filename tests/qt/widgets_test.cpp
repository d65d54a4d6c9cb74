// The widgets: what they paint into a QImage is the control's own raster,
// pixel for pixel, and reads back as the data meant; their Qt properties
// keep the control's values and rules, through setProperty and through a .ui
// file; the data-aware widget follows a mapper's model.
#include "qt_test_support.h"

#include "qbarcode/qbdbbarcode.h"
#include "support/reader.h"

#include <QBuffer>
#include <QDataWidgetMapper>
#include <QMetaProperty>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QUiLoader>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace qb;

namespace {

struct Sample {
    QbBarCode::TBarType type;
    const char* text;
    const char* decoded; // what ZXing reads, or nullptr where it reads no such symbology
};

// One text per symbology; decoded values are the numbers printed under real
// symbols, or the data itself.
const Sample kSamples[] = {
    {QbBarCode::bcCode_2_5_interleaved, "0123456789", "0123456789"},
    {QbBarCode::bcCode_2_5_industrial, "123456", nullptr},
    {QbBarCode::bcCode_2_5_matrix, "123456", nullptr},
    {QbBarCode::bcCode39, "CODE-39", "CODE-39"},
    {QbBarCode::bcCode39Extended, "Code 39", "Code 39"},
    {QbBarCode::bcCode128A, "ABC-123", "ABC-123"},
    {QbBarCode::bcCode128B, "Hello, 128", "Hello, 128"},
    {QbBarCode::bcCode128C, "123456", "123456"},
    {QbBarCode::bcCode93, "CODE 93", "CODE 93"},
    {QbBarCode::bcCode93Extended, "Code 93", "Code 93"},
    {QbBarCode::bcCodeMSI, "123456", nullptr},
    {QbBarCode::bcCodePostNet, "12345", nullptr},
    {QbBarCode::bcCodeCodabar, "A40156B", "40156"},
    {QbBarCode::bcCodeEAN8, "01234565", "01234565"},
    {QbBarCode::bcCodeEAN13, "4006381333931", "4006381333931"},
    {QbBarCode::bcCodeUPC_A, "036000291452", "036000291452"},
    {QbBarCode::bcCodeUPC_E0, "5056460", "05056460"},
    {QbBarCode::bcCodeUPC_E1, "1748810", "11748810"},
    {QbBarCode::bcCodeUPC_Supp2, "12", nullptr},
    {QbBarCode::bcCodeUPC_Supp5, "12345", nullptr},
    {QbBarCode::bcCodeEAN128A, "ABC123", "ABC123"},
    {QbBarCode::bcCodeEAN128B, "0101234567890128", "0101234567890128"},
    {QbBarCode::bcCodeEAN128C, "123456", "123456"},
};
static_assert(std::size(kSamples) == 23, "every symbology");

const QbBarCode::TOrientation kOrientations[] = {QbBarCode::toLeftRight, QbBarCode::toRightLeft, QbBarCode::toTopBottom,
                                                 QbBarCode::toBottomTop};

// The pixels of the raster placed at `at` on `image` that differ from the
// image's, where they overlap.
int Differing(const QImage& image, QPoint at, const TBitmap& raster)
{
    int differing = 0;
    for (int y = std::max(0, -at.y()); y < std::min(raster.Height(), image.height() - at.y()); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(at.y() + y));
        for (int x = std::max(0, -at.x()); x < std::min(raster.Width(), image.width() - at.x()); ++x)
            differing += line[at.x() + x] != (0xFF000000u | raster.ScanLine(y)[x]);
    }
    return differing;
}

// Every symbology at every orientation, on both widgets, painted both ways a
// program paints a widget into an image (paint() on a painter of its own,
// and QWidget::render, which paints through the widget's paint event), and
// painted through the painter: a painter in Source composition is not one
// the raster is copied for, and for opaque paint it gives what source-over
// gives, so the bars as painter rectangles and the caption by the glyph path
// must come out as the control's raster, also at a whole-pixel offset.
TEST(Widgets, PaintTheControlsPixelsAndDecode)
{
    int row = 0;
    for (bool dataAware : {false, true})
        for (const Sample& s : kSamples)
            for (QbBarCode::TOrientation o : kOrientations) {
                SCOPED_TRACE(testing::Message() << (dataAware ? "QbDBBarcode " : "QbBarCode ") << s.text << " " << o);
                std::unique_ptr<QbBarCode> w;
                if (dataAware) {
                    auto* db = new QbDBBarcode;
                    db->setDesigning(true);
                    w.reset(db);
                } else {
                    w = std::make_unique<QbBarCode>();
                }
                const bool horizontal = o == QbBarCode::toLeftRight || o == QbBarCode::toRightLeft;
                w->resize(horizontal ? 100 : 90, horizontal ? 90 : 100);
                w->setModul(2);
                w->setHMargin(20); // the quiet zone
                w->setOrientation(o);
                w->setTextShow(row % 2 ? QbBarCode::tsBarCode : QbBarCode::tsBoth);
                w->setBarType(s.type);
                w->setBarCode(QString::fromLatin1(s.text));
                w->setAutoWidth(true);
                ASSERT_TRUE(w->lastError().isEmpty()) << w->lastError().toStdString();

                QImage image(w->size(), QImage::Format_RGB32);
                image.fill(Qt::magenta);
                // paint() partly off the image, where the copy is cut at its edges.
                const QPoint at = row % 2 ? QPoint(-3, -2) : QPoint(0, 0);
                if (row++ % 2) {
                    QPainter painter(&image);
                    painter.translate(at);
                    w->paint(painter);
                } else {
                    w->render(&image);
                }
                QImage through(w->size() + QSize(3, 2), QImage::Format_RGB32);
                through.fill(Qt::magenta);
                {
                    QPainter painter(&through);
                    painter.setCompositionMode(QPainter::CompositionMode_Source);
                    painter.translate(3, 2);
                    w->paint(painter);
                }
                const TBitmap& raster = w->control().Image();
                ASSERT_EQ(image.width(), raster.Width());
                ASSERT_EQ(image.height(), raster.Height());
                EXPECT_EQ(Differing(image, at, raster), 0);
                EXPECT_EQ(Differing(through, {3, 2}, raster), 0);
                if (!s.decoded)
                    continue;
                std::vector<const std::uint32_t*> rows;
                for (int y = 0; y < image.height(); ++y)
                    rows.push_back(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)));
                const auto d = testsupport::ReadLinear(rows.data(), image.width(), image.height(),
                                                       s.type == QbBarCode::bcCode39Extended);
                EXPECT_EQ(d.text, s.decoded);
            }
}

// A value for a property that differs from what a new widget holds.
QVariant OtherValue(const QMetaProperty& p, const QVariant& now)
{
    if (p.isEnumType()) {
        const QMetaEnum e = p.enumerator();
        const int next = e.value((now.toInt() + 1) % e.keyCount()); // the control's ordinals run from 0
        return QVariant(p.metaType(), &next);
    }
    switch (p.typeId()) {
    case QMetaType::Int:
        return now.toInt() + 3;
    case QMetaType::Double:
        return now.toDouble() + 0.5;
    case QMetaType::Bool:
        return !now.toBool();
    case QMetaType::QString:
        return QStringLiteral("CODE39");
    case QMetaType::QColor:
        return QColor(1, 2, 3);
    case QMetaType::QFont:
        return QFont(QStringLiteral("DejaVu Serif"), 11);
    default:
        return {};
    }
}

// Properties whose writer keeps the value it has (the banner).
const QSet<QString> kIgnoresWrites = {QStringLiteral("About")};

QVariant Expected(const QMetaProperty& p, const QVariant& before, const QVariant& written)
{
    return kIgnoresWrites.contains(QString::fromLatin1(p.name())) ? before : written;
}

// A .ui file holding the widget with one property, written as Qt Designer
// writes each type.
QByteArray UiFile(const QWidget& w, const QMetaProperty& p)
{
    const QVariant v = w.property(p.name());
    QString value;
    if (p.isEnumType()) {
        value = QStringLiteral("<enum>%1::%2</enum>")
                    .arg(QLatin1String(p.enumerator().scope()), QLatin1String(p.enumerator().valueToKey(v.toInt())));
    } else {
        switch (p.typeId()) {
        case QMetaType::Int:
            value = QStringLiteral("<number>%1</number>").arg(v.toInt());
            break;
        case QMetaType::Double:
            value = QStringLiteral("<double>%1</double>").arg(v.toDouble());
            break;
        case QMetaType::Bool:
            value = QStringLiteral("<bool>%1</bool>").arg(v.toBool() ? "true" : "false");
            break;
        case QMetaType::QString:
            value = QStringLiteral("<string>%1</string>").arg(v.toString().toHtmlEscaped());
            break;
        case QMetaType::QColor: {
            const QColor c = v.value<QColor>();
            value = QStringLiteral("<color><red>%1</red><green>%2</green><blue>%3</blue></color>")
                        .arg(c.red())
                        .arg(c.green())
                        .arg(c.blue());
            break;
        }
        }
    }
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="%1" name="w"><property name="%2">%3</property></widget></ui>)")
        .arg(QLatin1String(w.metaObject()->className()), QLatin1String(p.name()), value)
        .toUtf8();
}

// Each property of the control, on a new widget: written and read back
// through the property system, then through a .ui file read by QUiLoader
// with the Designer plugin, as an application loads a form.
TEST(Widgets, EveryPropertyRoundTrips)
{
    const QMetaObject& meta = QbDBBarcode::staticMetaObject;
    int tried = 0;
    for (int i = QWidget::staticMetaObject.propertyCount(); i < meta.propertyCount(); ++i) {
        const QMetaProperty p = meta.property(i);
        SCOPED_TRACE(p.name());
        QbDBBarcode w;
        w.setDesigning(true);
        const QVariant before = w.property(p.name());
        const QVariant value = OtherValue(p, before);
        if (!value.isValid())
            continue; // DataSource: a mapper, not a value
        ASSERT_TRUE(w.setProperty(p.name(), value));
        EXPECT_EQ(w.property(p.name()), Expected(p, before, value));
        EXPECT_TRUE(w.lastError().isEmpty()) << w.lastError().toStdString();
        ++tried;

        if (!p.isDesignable())
            continue; // the font goes to the .ui as QWidget's
        QBuffer ui;
        ui.setData(UiFile(w, p));
        ui.open(QIODevice::ReadOnly);
        qbtest::Loader loader;
        std::unique_ptr<QWidget> read(loader.load(&ui));
        ASSERT_TRUE(read) << loader.errorString().toStdString();
        EXPECT_EQ(read->property(p.name()), Expected(p, before, value)) << ui.data().toStdString();
    }
    EXPECT_GE(tried, 28);
}

TEST(Widgets, RefuseWhatTheControlRefuses)
{
    QbBarCode w;
    // A name outside the enumeration's table, an ordinal outside it.
    EXPECT_FALSE(w.setProperty("BarType", QStringLiteral("bcCode40")));
    w.setProperty("BarType", 99);
    EXPECT_EQ(w.BarType(), QbBarCode::bcCode39);
    EXPECT_FALSE(w.lastError().isEmpty());
    EXPECT_TRUE(w.setProperty("BarType", QStringLiteral("bcCodeEAN13")));
    EXPECT_EQ(w.BarType(), QbBarCode::bcCodeEAN13);
    // The control's numeric check: nothing stored, no changed().
    int changes = 0;
    QObject::connect(&w, &QbBarCode::changed, [&] { ++changes; });
    w.setBarCode(QStringLiteral("12a"));
    EXPECT_EQ(w.lastError(), QStringLiteral("12a: Barcode must be numeric."));
    EXPECT_EQ(w.BarCode(), QString());
    EXPECT_EQ(changes, 0);
    // Characters beyond the 8-bit set never reach the control.
    w.setBarType(QbBarCode::bcCode128B);
    w.setBarCode(QStringLiteral("A\u20ACB"));
    EXPECT_EQ(w.BarCode(), QString());
    EXPECT_FALSE(w.lastError().isEmpty());
    // The control's range rules.
    w.setModul(50);
    EXPECT_EQ(w.Modul(), 1);
    w.setBarCode(QStringLiteral("\xE9t\xE9"));
    EXPECT_EQ(w.BarCode(), QStringLiteral("\xE9t\xE9"));
    EXPECT_EQ(changes, 2); // BarType, then the text
}

TEST(Widgets, SizeFollowsTheControl)
{
    QbBarCode w;
    w.setBarType(QbBarCode::bcCodeEAN13);
    w.setBarCode(QStringLiteral("4006381333931"));
    w.setHMargin(5);
    // The size AutoWidth gives: the barcode, its margin and the raised bevel.
    const int along = w.control().GetBarWidth() + 2 * (5 + 1);
    EXPECT_EQ(w.sizeHint(), QSize(along, w.height()));
    w.setAutoWidth(true);
    EXPECT_EQ(w.width(), along);
    w.setOrientation(QbBarCode::toTopBottom);
    EXPECT_EQ(w.height(), along);
    EXPECT_EQ(w.sizeHint(), QSize(w.width(), along));
    // Across the code the control takes the widget's size; along it,
    // AutoWidth keeps its own (a hidden widget agrees when next asked).
    w.resize(120, 300);
    EXPECT_EQ(w.control().Width(), 120);
    EXPECT_EQ(w.size(), QSize(120, along));
    w.show();
    w.resize(140, 300);
    EXPECT_EQ(w.size(), QSize(140, along));
}

// A widget scrolled partly out of its parent (as on a form in Qt Designer):
// its caption keeps to what shows of it, the parent's other pixels stay.
TEST(Widgets, CaptionKeepsToTheVisiblePart)
{
    QWidget window;
    window.resize(300, 120);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::white));
    auto* view = new QWidget(&window);
    view->setGeometry(100, 0, 120, 120);
    auto* w = new QbBarCode(view);
    w->setGeometry(-80, 0, 200, 120);
    w->setTextShow(QbBarCode::tsBoth);
    w->setTextPosition(QbBarCode::tpBottomLeft);
    w->setBarCode(QStringLiteral("CAPTION 39"));
    QImage image(window.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    window.render(&image);
    int inked = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ++(x < 100 || x >= 220 ? outside : inked);
    EXPECT_GT(inked, 0);
    EXPECT_EQ(outside, 0);
}

// The painters no copy of the raster serves: scaled, turned, at a higher
// device-pixel ratio, a PDF. Each gets the whole widget painted through it
// (a copy at one pixel per pixel would leave most of the image unpainted),
// reading back as the code; the PDF holds no image. And a control narrower than its widget (constraints
// set on it directly) leaves no pixel of the widget unpainted.
TEST(Widgets, PaintThroughWhereNoCopyServes)
{
    const QString text = QStringLiteral("4006381333931");
    auto make = [&] {
        auto w = std::make_unique<QbBarCode>();
        w->resize(300, 100);
        w->setBarType(QbBarCode::bcCodeEAN13);
        w->setModul(2);
        w->setTextShow(QbBarCode::tsBarCode);
        w->setBarCode(text);
        return w;
    };
    struct Case {
        const char* name;
        std::function<QImage(QbBarCode&)> paint; // onto a magenta image, upright
    };
    auto magenta = [](QSize size, qreal ratio = 1) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        image.setDevicePixelRatio(ratio);
        return image;
    };
    const Case cases[] = {
        {"scaled painter",
         [&](QbBarCode& w) {
             QImage image = magenta(w.size() * 2);
             QPainter painter(&image);
             painter.scale(2, 2);
             w.paint(painter);
             return image;
         }},
        {"device-pixel ratio 2",
         [&](QbBarCode& w) {
             QImage image = magenta(w.size() * 2, 2);
             w.render(&image);
             image.setDevicePixelRatio(1);
             return image;
         }},
        {"turned painter",
         [&](QbBarCode& w) {
             QImage image = magenta(w.size().transposed());
             {
                 QPainter painter(&image);
                 painter.translate(w.height(), 0);
                 painter.rotate(90);
                 w.paint(painter);
             }
             return image.transformed(QTransform().rotate(-90));
         }},
        {"control narrower than the widget",
         [&](QbBarCode& w) {
             w.control().Constraints()->SetMaxWidth(250);
             EXPECT_EQ(w.control().Width(), 250);
             QImage image = magenta(w.size());
             w.render(&image);
             EXPECT_EQ(image.pixel(280, 50), w.palette().window().color().rgb());
             return image;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = make();
        const QImage image = c.paint(*w);
        int unpainted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                unpainted += image.pixel(x, y) == QColor(Qt::magenta).rgb();
        EXPECT_EQ(unpainted, 0);
        EXPECT_EQ(qbtest::Decode(image).text, text.toStdString());
    }

    // A PDF: no image in it (bars and caption are shapes and text), and the
    // page reads back. The same widget drawn into a PDF as an image is
    // listed, so the listing sees images where there are some.
    QTemporaryDir dir;
    auto pdf = [&](const QString& name, const std::function<void(QPainter&, QbBarCode&)>& paint) {
        const QString path = dir.filePath(name);
        QPdfWriter writer(path);
        writer.setResolution(96);
        auto w = make();
        QPainter painter(&writer);
        paint(painter, *w);
        return path;
    };
    // pdfimages lists one line per image under two lines of headings.
    auto images = [](const QString& path) {
        QProcess list;
        list.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path});
        list.waitForFinished();
        return QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size() - 2;
    };
    const QString vector = pdf(QStringLiteral("vector.pdf"), [](QPainter& p, QbBarCode& w) { w.paint(p); });
    EXPECT_EQ(images(vector), 0);
    EXPECT_EQ(qbtest::Decode(qbtest::PdfPage(vector)).text, text.toStdString());
    const QString raster =
        pdf(QStringLiteral("raster.pdf"), [](QPainter& p, QbBarCode& w) { p.drawImage(0, 0, w.grab().toImage()); });
    EXPECT_EQ(images(raster), 1);
}

// The data-aware widget over a model: each record shown, edits written into
// the record's cell and refused ones kept out, a read-only binding unmoved.
TEST(Widgets, DataAwareWidgetFollowsTheMapper)
{
    QStandardItemModel model(3, 2);
    model.setHorizontalHeaderLabels({QStringLiteral("name"), QStringLiteral("code")});
    const char* codes[] = {"4006381333931", "5901234123457", "9780201379624"};
    for (int r = 0; r < 3; ++r)
        model.setItem(r, 1, new QStandardItem(QString::fromLatin1(codes[r])));
    QDataWidgetMapper mapper;
    mapper.setModel(&model);
    QbDBBarcode w;
    w.setBarType(QbBarCode::bcCodeEAN13);
    w.setBarCode(QStringLiteral("4006381333931"));
    EXPECT_EQ(w.BarCode(), QString()); // unbound at run time: dropped
    w.setDataSource(&mapper);
    w.setDataField(QStringLiteral("CODE"));
    mapper.toFirst();
    EXPECT_EQ(w.BarCode(), QString::fromLatin1(codes[0]));
    mapper.toNext();
    EXPECT_EQ(w.BarCode(), QString::fromLatin1(codes[1]));

    w.setBarCode(QStringLiteral("4012345678901"));
    EXPECT_EQ(model.item(1, 1)->text(), QStringLiteral("4012345678901"));
    EXPECT_EQ(w.BarCode(), QStringLiteral("4012345678901"));
    for (const char* refused : {"40123456789012345", "40123A5678901"}) { // too long for EAN-13; not a number
        w.setBarCode(QString::fromLatin1(refused));
        EXPECT_FALSE(w.lastError().isEmpty()) << refused;
        EXPECT_EQ(model.item(1, 1)->text(), QStringLiteral("4012345678901"));
        EXPECT_EQ(w.BarCode(), QStringLiteral("4012345678901"));
    }
    mapper.submit(); // the mapper writes back what the widget shows: no change
    EXPECT_EQ(model.item(1, 1)->text(), QStringLiteral("4012345678901"));

    w.setReadOnly(true);
    w.setBarCode(QString::fromLatin1(codes[0]));
    EXPECT_EQ(model.item(1, 1)->text(), QStringLiteral("4012345678901"));
    mapper.toNext();
    EXPECT_EQ(w.BarCode(), QString::fromLatin1(codes[2]));
    mapper.submit();
    EXPECT_EQ(model.item(2, 1)->text(), QString::fromLatin1(codes[2]));

    w.setDataField(QStringLiteral("price"));
    EXPECT_EQ(w.lastError(), QStringLiteral("Field 'price' not found"));
}

} // namespace
